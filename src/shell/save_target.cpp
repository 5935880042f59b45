#include "shell/save_target.h"

#include "image/geometry.h"
#include "shell/text.h"

#include <QFileInfo>

namespace shell {

QString ask_new_file(Requester& requester, const QString& title, const QString& proposed_path, const QString& filters)
{
    const QString path = requester.ask_save_file(title, proposed_path, filters);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return path;
    const QString name = QFileInfo(path).fileName();
    if (image::layout_from_path(to_path(path)) != image::Layout::None) {
        requester.show_message(title, name + " is a disc image, and Kestrel never replaces one. Choose a new name.",
                               Icon::Exclamation);
        return {};
    }
    if (!requester.ask_yes_no("File exists", "Do you want to overwrite " + name + "?", Icon::Question))
        return {};
    return path;
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
