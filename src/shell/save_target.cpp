#include "shell/save_target.h"

#include "image/image_kinds.h"
#include "shell/text.h"

#include <QFileInfo>

namespace shell {

QString with_default_extension(const QString& path, const QString& filters)
{
    const QString pattern = filters.section('|', 1, 1).section(';', 0, 0);
    const QFileInfo info(path);
    if (!pattern.startsWith("*.") || pattern.size() <= 2 || info.fileName().isEmpty() || !info.suffix().isEmpty())
        return path;
    return path + pattern.mid(1);
}

QString ask_save_path(Requester& requester, const QString& title, const QString& proposed_path, const QString& filters,
                      const NameCheck& check)
{
    QString proposal = proposed_path;
    for (;;) {
        const QString answer = requester.ask_save_file(title, proposal, filters);
        if (answer.isEmpty())
            return {};
        const QString path = with_default_extension(answer, filters);
        QString reason = check ? check(path) : QString();
        if (reason.isEmpty() && QFileInfo::exists(path) && image::is_any_image_name(to_path(path)))
            reason =
                QFileInfo(path).fileName() + " is a disc image, and Kestrel never replaces one. Choose a new name.";
        if (reason.isEmpty())
            return path;
        requester.show_message(title, reason, Icon::Exclamation);
        proposal = path;
    }
}

QString ask_new_file(Requester& requester, const QString& title, const QString& proposed_path, const QString& filters,
                     const NameCheck& check)
{
    const QString path = ask_save_path(requester, title, proposed_path, filters, check);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return path;
    if (!requester.ask_yes_no("File exists", "Do you want to overwrite " + QFileInfo(path).fileName() + "?",
                              Icon::Question))
        return {};
    return path;
}

QString ask_new_plain_image(Requester& requester, const QString& title, const QString& proposed_path,
                            const QString& needs)
{
    return ask_new_file(requester, title, proposed_path, "MGT Images|*.mgt|IMG Images|*.img",
                        [needs](const QString& path) {
                            return image::layout_from_path(to_path(path)) != image::Layout::None
                                       ? QString()
                                       : QFileInfo(path).fileName() + ": " + needs + " " +
                                             from_path(image::extensions_text(image::KindSet::Raw));
                        });
}

QString host_file_name(const QString& disc_name)
{
    QString name = disc_name.trimmed();
    for (QChar& c : name) {
        if (c == '/' || c == '\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = '_';
    }
    return name.isEmpty() || name == "." || name == ".." ? QString("file") : name;
}

} // namespace shell
