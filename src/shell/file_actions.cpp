// MainWindow's file actions in the browser: its menu (rename, delete, new image from tapes) and dropped files.
#include "shell/main_window.h"

#include "common/path_text.h"
#include "files/make_disc.h"
#include "image/host_kinds.h"
#include "image/image_kinds.h"
#include "image/open_container.h"
#include "shell/save_target.h"
#include "shell/text.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStatusBar>

#include <algorithm>
#include <array>

namespace shell {

bool is_image_name(const std::string& path)
{
    return image::is_any_image_name(path);
}

void MainWindow::create_browser_menu()
{
    m_browser_menu = new QMenu(this);
    m_browser_menu->setObjectName("browserMenu");
    m_rename_action = m_browser_menu->addAction("Rename file", this, &MainWindow::rename_image_file);
    m_delete_action = m_browser_menu->addAction("Delete file", this, &MainWindow::delete_image_file);
    m_browser_menu->addAction(QString::fromUtf8("New image from tapes\u2026"), this, &MainWindow::new_image_from_tapes);
    m_browser_menu->addSeparator();
    QAction* about = m_browser_menu->addAction(QString::fromUtf8("About Kestrel\u2026"), this, &MainWindow::show_about);
    // The keys are the window's (its event filter); the menu only shows them, and takes them while it is open.
    const std::array<std::pair<QAction*, Qt::Key>, 3> keys = {
        {{m_rename_action, Qt::Key_F2}, {m_delete_action, Qt::Key_Delete}, {about, Qt::Key_F1}}};
    for (const auto& [action, key] : keys) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
}

void MainWindow::show_browser_menu(std::optional<QPoint> position)
{
    // A folder gets no file actions.
    const QString path = m_browser->selected_path();
    const bool file = !path.isEmpty() && !path.endsWith('/');
    m_rename_action->setVisible(file);
    m_delete_action->setVisible(file);
    m_browser_menu->exec(position.value_or(QCursor::pos() - QPoint(1, 1)));
}

void MainWindow::refresh_browser()
{
    m_browser->set_text(from_path(m_settings.Currentdir) + IMAGE_PATTERN);
}

void MainWindow::open_dropped(const QList<QUrl>& urls)
{
    QStringList files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    // Files that are no disc image (tapes, snapshots, any other file) go onto the listed image.
    const auto is_dropped_image = [](const QString& path) {
        if (QFileInfo(path).isDir())
            return true;
        auto opened = image::open_image(to_path(path));
        const auto* failure = std::get_if<common::Error>(&opened);
        return failure == nullptr || !(failure->kind == common::ErrorKind::NotAnImage);
    };
    if (!files.isEmpty() && !m_listed.empty() && std::ranges::none_of(files, is_dropped_image)) {
        add_host_files(files, true);
        return;
    }
    if (files.size() != 1) {
        show_status(files.isEmpty() ? QString("Only a disc image file (%1) can be dropped here")
                                          .arg(from_path(image::extensions_text(image::KindSet::All)))
                                    : QString("%1 files dropped: drop one disc image at a time").arg(files.size()));
        return;
    }
    const QFileInfo info(files.front());
    if (info.isDir()) {
        show_status(info.fileName() + " is a folder, not a disc image");
        return;
    }
    // open_image knows which names and contents are images; an image that cannot be read is still listed, as a
    // click would list it, and says why there.
    auto opened = image::open_image(to_path(info.filePath()));
    if (const auto* failure = std::get_if<common::Error>(&opened);
        failure && (failure->kind == common::ErrorKind::NotAnImage)) {
        show_status(info.fileName() + ": " + from_path(failure->text));
        return;
    }
    select_and_list(info.filePath());
}

void MainWindow::open_path(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        select_and_list(info.absoluteFilePath());
        return;
    }
    if (info.exists()) {
        auto opened = image::open_image(to_path(info.absoluteFilePath()));
        const auto* failure = std::get_if<common::Error>(&opened);
        if (failure == nullptr || !(failure->kind == common::ErrorKind::NotAnImage)) {
            select_and_list(info.absoluteFilePath());
            return;
        }
        // Its folder is shown, and why nothing is listed.
        m_browser->select_path(info.absolutePath());
        show_status(info.fileName() + ": " + from_path(failure->text));
        return;
    }
    // ARCHIVE/NAME: the longest part of the path that is a file is the archive, the rest the name inside it.
    QString archive = info.absoluteFilePath();
    while (!archive.isEmpty() && !QFileInfo(archive).isFile()) {
        const qsizetype cut = archive.lastIndexOf('/');
        archive = cut > 0 ? archive.left(cut) : QString();
    }
    if (archive.isEmpty() || !is_image_name(to_path(archive))) {
        show_status(path + ": no such file");
        return;
    }
    {
        // The archive is selected without listing it: listing it would ask which of its images to list.
        const QSignalBlocker quiet(m_browser);
        m_browser->select_path(archive);
    }
    m_pane->clear();
    m_status->clearMessage();
    m_current_image_path = to_path(archive);
    m_settings.Currentdir = common::folder_part(m_current_image_path);
    load_image(to_path(info.absoluteFilePath()));
}

void MainWindow::new_image_from_tapes()
{
    m_status->clearMessage();
    const QString folder = from_path(m_settings.Currentdir);
    const QStringList tapes = m_services.requester.ask_open_files(
        "Choose tapes", folder,
        "Tape Files|" + from_path(image::host_pattern(std::array{image::HostKind::Tape})) + "|All Files|*");
    if (tapes.isEmpty())
        return;
    const QString target = ask_new_plain_image(m_services.requester, "New image name",
                                               folder + QFileInfo(tapes.front()).completeBaseName() + ".mgt",
                                               "a new image needs a name ending in");
    if (target.isEmpty())
        return;
    const image::Layout layout = image::layout_from_path(to_path(target));
    std::vector<std::string> paths;
    for (const QString& tape : tapes)
        paths.push_back(to_path(tape));
    const auto made = files::make_disc_from_paths(paths, layout, std::nullopt);
    if (const auto* reason = std::get_if<std::string>(&made)) {
        show_status(from_path(*reason));
        return;
    }
    const files::MadeDisc& disc = std::get<files::MadeDisc>(made);
    if (!write_new_file(target, disc.bytes))
        return;
    select_and_list(target);
    // Listing the new image cleared the pane; the tape blocks left out follow the scan's lines.
    for (const std::string& problem : disc.problems)
        m_pane->appendPlainText(from_path(problem));
    QString status = QString("%1 made: %2 files from %3 tapes")
                         .arg(target)
                         .arg(disc.placed.size())
                         .arg(tapes.size() - static_cast<qsizetype>(disc.refused_tapes));
    if (disc.skipped_blocks > 0)
        status += QString("; %1 tape blocks skipped").arg(disc.skipped_blocks);
    if (disc.refused_tapes > 0)
        status += QString("; %1 tapes not read").arg(disc.refused_tapes);
    show_status(status);
}

namespace {

// The extensions of image kinds at the end of a file name ("GAME.mgt.gz" gives ".mgt.gz"), "" for none.
QString image_extensions(const QString& name)
{
    QString stem = name;
    while (stem.lastIndexOf('.') > 0 && is_image_name(to_path(stem)))
        stem = stem.left(stem.lastIndexOf('.'));
    return name.mid(stem.size());
}

} // namespace

void MainWindow::rename_image_file()
{
    const QString old_path = m_browser->selected_path();
    if (old_path.isEmpty() || old_path.endsWith('/')) {
        show_status("Select an image file to rename");
        return;
    }
    m_status->clearMessage();
    const QString old_name = QFileInfo(old_path).fileName();
    const QString folder = from_path(common::folder_part(to_path(old_path)));
    // A name typed without an extension keeps the image's, as the save requesters add theirs: without it the
    // folder tree would no longer show the image. A name that cannot be taken is said, and asked again.
    QString answer = old_name;
    QString new_path;
    for (;;) {
        answer = m_services.requester.ask_text("Rename file", "Please enter new file name", answer);
        if (answer.isEmpty() || answer == old_name)
            return;
        if (QFileInfo(answer).suffix().isEmpty())
            answer += image_extensions(old_name);
        new_path = folder + answer;
        QString refused;
        if (QFileInfo::exists(new_path))
            refused = answer + " exists: choose another name";
        else if (const QString target_folder = QFileInfo(new_path).path(); !QFileInfo(target_folder).isDir())
            refused = "There is no folder " + target_folder;
        if (refused.isEmpty())
            break;
        m_services.requester.show_message("Rename file", refused, Icon::Exclamation);
    }
    const bool listed = is_listed_image(to_path(old_path));
    QFile file(old_path);
    if (!file.rename(new_path)) {
        show_status("Not renamed: " + old_name + ": " + file.errorString());
        return;
    }
    QString status = "Renamed " + old_name + " to " + answer;
    const bool readable = is_image_name(to_path(new_path));
    if (!readable)
        status += "; the browser lists only disc images and archives (" + QString(IMAGE_PATTERN) + ")";
    // The list follows its image to the new name; under a name the window does not read, or reads another way
    // (.mgt to .img swaps the order of the sides), it goes.
    const bool read_alike = image::layout_from_path(to_path(old_path)) == image::layout_from_path(to_path(new_path)) &&
                            image::is_container_name(to_path(old_path)) == image::is_container_name(to_path(new_path));
    // The edits of the image undo and redo in it under its new name.
    m_edits.renamed(to_path(old_path), to_path(new_path));
    if (listed && readable && read_alike) {
        const std::string inner = m_listed.path.substr(m_listed.file.size());
        m_listed.file = to_path(new_path);
        m_listed.path = m_listed.file + inner;
    } else if (listed) {
        forget_list();
    }
    if (readable && listed && !read_alike) {
        // Read another way under its new name: listed and checked afresh.
        {
            const QSignalBlocker quiet(m_browser);
            refresh_browser();
        }
        select_and_list(new_path);
    } else if (readable) {
        // The renamed image stays selected, its list and the message pane as they are.
        const QSignalBlocker quiet(m_browser);
        refresh_browser();
        m_browser->select_path(new_path);
        m_current_image_path = to_path(new_path);
        m_settings.Currentdir = common::folder_part(m_current_image_path);
    } else {
        refresh_browser();
    }
    show_status(status);
}

void MainWindow::delete_image_file()
{
    const QString path = m_browser->selected_path();
    if (path.isEmpty() || path.endsWith('/')) {
        show_status("Select an image file to delete");
        return;
    }
    const QString name = QFileInfo(path).fileName();
    const bool trash = m_services.system.has_trash();
    QString question = "Deleting " + path;
    question += trash ? "\n\nIt goes to the trash, from where it can be restored."
                      : "\n\nThere is no trash here: the file is deleted for good.";
    // Declined: the image stays selected and listed, the pane as it is.
    if (!m_services.requester.ask_yes_no("Are you sure?", question, Icon::Question, Preset::No)) {
        m_status->clearMessage();
        return;
    }
    QString status;
    const bool listed = is_listed_image(to_path(path));
    bool gone = false;
    if (trash) {
        const QString reason = m_services.system.move_to_trash(path);
        gone = reason.isEmpty();
        status = gone ? "Moved " + name + " to the trash" : "Not deleted: " + name + ": " + reason;
    } else {
        QFile file(path);
        gone = file.remove();
        status = gone ? "Deleted " + name + " for good" : "Not deleted: " + name + ": " + file.errorString();
    }
    // The list of a deleted image would only lead to empty tapes: it goes with the file.
    if (gone && listed)
        forget_list();
    refresh_browser();
    show_status(status);
}

} // namespace shell
