// MainWindow's drive buttons: grab and write through SAMDisk where it is set up, otherwise through the built-in
// transfer (drive_transfer.h).
#include "shell/main_window.h"

#include "common/path_text.h"
#include "shell/drive_transfer.h"
#include "shell/text.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>

namespace shell {
namespace {

// SAMDisk and the drives.
constexpr qint64 SAMDISK_MIN_SIZE = 22000;
constexpr qint64 SAMDISK_MAX_SIZE = 25000;
constexpr qint64 HINT_THRESHOLD_MS = 3000;
constexpr const char* SAMDISK_HINT = "If SamDisc2 does not start, you shall\nstart cmd with administrator privilegues "
                                     "and\nuse samdisk2.exe /install to activate the system driver";

} // namespace

void MainWindow::check_drive_buttons()
{
    if (!m_services.system.is_removable_drive("a:")) {
        m_grab_a->setEnabled(false);
        m_write_a->setEnabled(false);
    }
    if (!m_services.system.is_removable_drive("b:")) {
        m_grab_b->setEnabled(false);
        m_write_b->setEnabled(false);
    }
    const PathSize samdisk =
        m_settings.SAMDisk.empty() ? PathSize{} : m_services.system.file_size(from_path(m_settings.SAMDisk));
    const bool samdisk_usable =
        samdisk.kind == PathSize::Kind::File && samdisk.bytes >= SAMDISK_MIN_SIZE && samdisk.bytes <= SAMDISK_MAX_SIZE;
    // Without a usable SAMDisk the buttons use the built-in transfer, where the platform has one.
    m_builtin_transfer = !samdisk_usable && m_services.drives.is_available();
    if (!samdisk_usable && !m_builtin_transfer) {
        for (QPushButton* button : {m_grab_a, m_grab_b, m_write_a, m_write_b})
            button->setEnabled(false);
    }
}

void MainWindow::show_samdisk_hint()
{
    m_services.requester.show_message("Hint", SAMDISK_HINT, Icon::Information);
}

void MainWindow::run_samdisk(const QString& arguments)
{
    const qint64 start = m_services.system.tick_count();
    m_services.runner.run_program(m_samdisk_command, arguments, QString(), true);
    if (m_services.system.tick_count() - start < HINT_THRESHOLD_MS)
        show_samdisk_hint();
}

void MainWindow::show_transfer_lines(const QStringList& lines)
{
    for (const QString& line : lines)
        m_pane->appendPlainText(line);
    if (!lines.isEmpty())
        show_status(lines.last());
}

void MainWindow::grab_disc(char drive)
{
    if (!m_builtin_transfer && m_settings.SAMDisk.empty())
        return;
    m_current_image_path = to_path(m_browser->selected_path());
    m_settings.Currentdir = common::folder_part(m_current_image_path);
    const QString target =
        m_services.requester.ask_save_file("Enter Save Filename", m_grab_target, "MGT Files|*.mgt|DSK Files|*.dsk");
    // A cancelled requester starts nothing and keeps the last target.
    if (target.isEmpty())
        return;
    m_grab_target = target;
    QStringList lines;
    if (m_builtin_transfer)
        lines = read_drive_to_image(m_services, drive, m_grab_target, this);
    else
        run_samdisk(QString("%1: \"%2\" /E").arg(QChar(drive), m_grab_target));
    refresh_browser();
    show_transfer_lines(lines);
}

void MainWindow::write_to_drive(char drive)
{
    if (!m_builtin_transfer && m_settings.SAMDisk.empty())
        return;
    const QString question = drive == 'A'
                                 ? "Please insert EMPTY disc into drive A: and press YES Button, to cancel press NO"
                                 : "Please insert EMPTY disc into Drive B: and press YES Button, to cancel press NO";
    if (m_builtin_transfer) {
        // The image is read whole before anything is asked: one that cannot go onto a disc says why at once, and
        // the file is not held while the disc is written.
        m_current_image_path = to_path(m_browser->selected_path());
        auto disc = load_image_for_drive(from_path(m_current_image_path));
        if (const QString* refusal = std::get_if<QString>(&disc)) {
            show_transfer_lines({*refusal});
            return;
        }
        if (!m_services.requester.ask_yes_no("Writing Image to real disc", question, Icon::Exclamation))
            return;
        show_transfer_lines(write_image_to_drive(m_services, std::get<transfer::DiscCopy>(disc), drive, this));
        return;
    }
    if (!m_services.requester.ask_yes_no("Writing Image to real disc", question, Icon::Exclamation))
        return;
    m_current_image_path = to_path(m_browser->selected_path());
    if (image::layout_from_path(m_current_image_path) != image::Layout::Interleaved) {
        show_status("Only .mgt and .dsk images are written with SAMDisk");
        return;
    }
    // The drive letter stands apart from the quoted path, or it would become part of the path argument.
    run_samdisk(QString("\"%1\" %2: /F /V").arg(from_path(m_current_image_path), QChar(drive)));
}

} // namespace shell
