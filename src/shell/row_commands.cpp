// MainWindow's row commands: the row menu's table and the commands it and the buttons run on the listed image.
#include "shell/main_window.h"

#include "common/atomic_file.h"
#include "common/path_text.h"
#include "image/file_export.h"
#include "image/host_kinds.h"
#include "inspect/screen.h"
#include "session/row_commands.h"
#include "shell/basic_window.h"
#include "shell/modal.h"
#include "shell/save_target.h"
#include "shell/screen_viewer.h"
#include "shell/text.h"
#include "snapshot/plusd_snapshot.h"
#include "tape/convert.h"

#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTreeWidget>

#include <algorithm>
#include <set>

namespace shell {
namespace {

// The status line after a conversion: how many of the selected files reached which tape, and why the SAM files
// among them did not.
QString conversion_status(int written, int selected, int sam_files, const QString& tape)
{
    constexpr const char* NO_SAM_TAPE = "SAM files have no tape form";
    if (written == 0 && sam_files == selected)
        return QString("0 of %1 files: %2").arg(selected).arg(NO_SAM_TAPE);
    QString text = QString("%1 of %2 files written to %3").arg(written).arg(selected).arg(tape);
    if (sam_files > 0)
        text += QString("; %1").arg(NO_SAM_TAPE);
    return text;
}

// The part of a status line that names the rewritten loaders still holding +D syntax ("" for none).
QString disc_only_status(std::size_t loaders)
{
    if (loaders == 0)
        return {};
    return loaders == 1 ? QString("; 1 loader still uses +D-only syntax (see List BASIC)")
                        : QString("; %1 loaders still use +D-only syntax (see List BASIC)").arg(loaders);
}

bool any_row(const image::CatalogueRow&)
{
    return true;
}

bool editable(const image::CatalogueRow& row)
{
    return session::row_commands(row).edit;
}

// An entry of the list's context menu: its label, whether it applies to the row the menu was opened on (it is
// greyed out where not), and what it does with that row; a flag's entry also shows whether the row has it. A
// label of nullptr is a separator. The menu is built from this table alone.
struct RowAction
{
    const char* label;
    bool (*applies)(const image::CatalogueRow& row);
    void (*run)(MainWindow& window, const image::CatalogueRow& row);
    bool (*checked)(const image::CatalogueRow& row) = nullptr;
};

const std::array<RowAction, 10> ROW_ACTIONS = {{
    {"View Screen", [](const image::CatalogueRow& row) { return session::row_commands(row).screen; },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.view_screen(row);
     }},
    {"Convert to TAP", [](const image::CatalogueRow& row) { return session::row_commands(row).tape; },
     [](MainWindow& window, const image::CatalogueRow&) {
         window.convert_to_tap();
     }},
    {"List BASIC", [](const image::CatalogueRow& row) { return session::row_commands(row).basic; },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.list_basic(row);
     }},
    {"Export file\u2026", [](const image::CatalogueRow& row) { return session::row_commands(row).export_file; },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.export_row(row);
     }},
    {"Save as snapshot\u2026", [](const image::CatalogueRow& row) { return session::row_commands(row).snapshot; },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.save_snapshot(row);
     }},
    {nullptr, any_row, nullptr},
    {"Delete from image", editable,
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.delete_from_image(row);
     }},
    {"Rename in image\u2026", editable,
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.rename_in_image(row);
     }},
    {"Hidden", editable, [](MainWindow& window, const image::CatalogueRow& row) { window.toggle_flag(row, true); },
     [](const image::CatalogueRow& row) {
         return row.hidden;
     }},
    {"Protected", editable, [](MainWindow& window, const image::CatalogueRow& row) { window.toggle_flag(row, false); },
     [](const image::CatalogueRow& row) {
         return row.protected_file;
     }},
}};

} // namespace

void MainWindow::show_row_menu(const QPoint& position)
{
    open_row_menu(m_list->indexOfTopLevelItem(m_list->itemAt(position)), position);
}

void MainWindow::open_row_menu(int index, const QPoint& position)
{
    // Off the rows, the menu offers what applies to the image alone.
    const bool on_row = index >= 0 && static_cast<std::size_t>(index) < m_listed.catalogue.size();
    if (!on_row && m_listed.empty())
        return;
    const image::CatalogueRow row =
        on_row ? m_listed.catalogue[static_cast<std::size_t>(index)] : image::CatalogueRow{};
    QMenu menu(this);
    menu.setObjectName("rowMenu");
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; on_row && i < ROW_ACTIONS.size(); ++i) {
        if (ROW_ACTIONS[i].label == nullptr) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromUtf8(ROW_ACTIONS[i].label));
        action->setEnabled(ROW_ACTIONS[i].applies(row));
        if (ROW_ACTIONS[i].checked) {
            action->setCheckable(true);
            action->setChecked(ROW_ACTIONS[i].checked(row));
        }
        connect(action, &QAction::triggered, &menu, [&chosen, i] { chosen = i; });
    }
    if (on_row)
        menu.addSeparator();
    bool add = false;
    bool undo = false;
    bool redo = false;
    QAction* add_action = menu.addAction(QString::fromUtf8("Add files\u2026"));
    add_action->setShortcut(Qt::Key_Insert);
    connect(add_action, &QAction::triggered, &menu, [&add] { add = true; });
    const session::EditStep* step = m_edits.undoable(listed_image_test());
    QAction* undo_action =
        menu.addAction(step == nullptr ? QString("Undo") : "Undo: " + QString::fromStdString(step->what));
    undo_action->setShortcut(QKeySequence::Undo);
    undo_action->setEnabled(step != nullptr);
    connect(undo_action, &QAction::triggered, &menu, [&undo] { undo = true; });
    const session::EditStep* undone = m_edits.redoable(listed_image_test());
    QAction* redo_action =
        menu.addAction(undone == nullptr ? QString("Redo") : "Redo: " + QString::fromStdString(undone->what));
    redo_action->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redo_action->setEnabled(undone != nullptr);
    connect(redo_action, &QAction::triggered, &menu, [&redo] { redo = true; });
    menu.exec(m_list->viewport()->mapToGlobal(position));
    // The command runs once the menu has closed, outside the menu's own event loop; not when the list went away
    // meanwhile (its image moved or deleted).
    if (m_listed.empty())
        return;
    if (chosen)
        ROW_ACTIONS[*chosen].run(*this, row);
    else if (add)
        add_files_to_image();
    else if (undo)
        undo_edit();
    else if (redo)
        redo_edit();
}

void MainWindow::convert_to_tap()
{
    m_current_image_path = to_path(m_browser->selected_path());
    m_status->clearMessage();
    if (m_list->selectedItems().isEmpty()) {
        show_status("Select the files to convert first");
        return;
    }
    std::set<int> chosen;
    int sam_files = 0;
    int tape_forms = 0;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const image::CatalogueRow& row = m_listed.catalogue[static_cast<std::size_t>(i)];
        if (m_list->topLevelItem(i)->isSelected()) {
            chosen.insert(row.slot);
            sam_files += image::file_type(row.type_code).sam_system ? 1 : 0;
            tape_forms += session::row_commands(row).tape ? 1 : 0;
        }
    }
    const int selected = static_cast<int>(chosen.size());
    // Nothing to put on a tape: no name asked, no tape written.
    if (tape_forms == 0) {
        show_status(sam_files == selected ? conversion_status(0, selected, sam_files, QString())
                                          : QString("0 of %1 files: none of them has a tape form").arg(selected));
        return;
    }
    m_pane->clear();
    // The requester opens in the image's folder (its archive's), on the name of the last tape written.
    const QString answer =
        ask_save_path(m_services.requester, "Enter Save Filename",
                      listed_folder() + QFileInfo(from_path(m_settings.savefile)).fileName(), "TAP Files|*.tap");
    // A cancelled requester ends the command and keeps the remembered name.
    if (answer.isEmpty())
        return;
    m_settings.savefile = to_path(answer);
    if (tape::is_nonempty_file(m_settings.savefile) &&
        !m_services.requester.ask_yes_no("File exist", "Do you want ot overwrite " + answer + " ?", Icon::Question))
        return;

    const session::Tape made = session::make_tape(m_listed, chosen, m_settings.BasStrip != 0, m_settings.savefile);
    const tape::ConversionResult& result = made.result;
    append_lines(made.pane);
    QString status = conversion_status(result.written, selected, sam_files, answer) +
                     disc_only_status(result.disc_only_loaders.size());
    // Files whose chain ended early went on the tape with zeros: the status says so, as kestrel-cli tap does.
    for (const tape::ShortFile& file : result.short_files)
        status +=
            "; " + from_disc(file.name).trimmed() + ": " + QString::fromStdString(image::shortfall_text(file.chain));
    show_status(status);
}

void MainWindow::view_selected_screen()
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->isSelected()) {
            view_screen(m_listed.catalogue[static_cast<std::size_t>(i)]);
            return;
        }
    }
    show_status("Select a screen file (6,912 bytes) to view");
}

void MainWindow::open_row(const image::CatalogueRow& row)
{
    if (session::row_commands(row).basic)
        list_basic(row);
    else
        view_screen(row); // a screen, or the reason why the row shows none
}

void MainWindow::view_screen(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const auto read = session::screen_of(m_listed, row, &m_pixels);
    if (const auto* failure = std::get_if<session::Text>(&read)) {
        show_status(shown_text(*failure));
        return;
    }
    // A SAM screen whose chain ended early says so; its picture is shown all the same.
    const auto& screen = std::get<session::Screen>(read);
    if (screen.sam && !screen.shortfall.empty())
        show_status(shown_text(screen.shortfall));
    const QString proposed = listed_folder() + host_file_name(from_disc(row.name)) + ".png";
    ScreenViewer viewer(screen.pixels, screen.width, screen.height, m_services.requester, proposed, this);
    connect(&viewer, &ScreenViewer::status_message, this, &MainWindow::show_status);
    run_modal(viewer);
}

void MainWindow::list_basic(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    // With the loader rewrite on, a ZX listing shows the program as "Convert to TAP" writes it, the statements
    // that would still stop with a syntax error from tape marked.
    const auto read = session::basic_listing(m_listed, row, m_settings.BasStrip != 0);
    if (const auto* failure = std::get_if<session::Text>(&read)) {
        show_status(shown_text(*failure));
        return;
    }
    const auto& listing = std::get<session::BasicListing>(read);
    if (!listing.disc_only.empty())
        show_status(shown_text(listing.disc_only));
    BasicWindow window(shown_text(listing.title), listing.lines, this);
    run_modal(window);
}

void MainWindow::export_row(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = host_file_name(from_disc(row.name));
    const QString target = ask_new_file(m_services.requester, "Export file", listed_folder() + name, "All Files|*");
    if (target.isEmpty())
        return;
    const auto exported = image::export_file(listed_source(), row.slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        show_status(name + ": " + QString::fromStdString(*reason));
        return;
    }
    const auto& file = std::get<image::ExportedFile>(exported);
    if (!write_new_file(target, file.bytes))
        return;
    QString status = QString("%1 exported to %2 (%3 bytes)")
                         .arg(name, target, grouped(static_cast<std::int64_t>(file.bytes.size())));
    if (!file.chain.complete())
        status += "; " + QString::fromStdString(image::shortfall_text(file.chain));
    show_status(status);
}

void MainWindow::save_snapshot(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = host_file_name(from_disc(row.name));
    // "Z80 Snapshots|*.z80|SNA Snapshots|*.sna" and ".z80 or .sna", the first the one proposed.
    QStringList filters;
    QStringList extensions;
    for (const std::string_view extension : image::host_extensions(image::HostKind::Snapshot)) {
        const QString dotted = "." + from_path(std::string(extension));
        filters << dotted.mid(1).toUpper() + " Snapshots|*" + dotted;
        extensions << dotted;
    }
    const QString target = ask_new_file(
        m_services.requester, "Save as snapshot", listed_folder() + name + extensions.front(), filters.join('|'),
        [&extensions](const QString& path) {
            return snapshot::format_from_path(to_path(path))
                       ? QString()
                       : QFileInfo(path).fileName() + ": a snapshot is saved as " + extensions.join(" or ");
        });
    if (target.isEmpty())
        return;
    const auto format = snapshot::format_from_path(to_path(target));
    const auto read = snapshot::read_plusd_snapshot(listed_source(), row.slot);
    if (const auto* error = std::get_if<common::Error>(&read)) {
        show_status(name + ": " + QString::fromStdString(error->text));
        return;
    }
    if (write_new_file(target, snapshot::encode_file(std::get<snapshot::Snapshot>(read), *format)))
        show_status(name + " saved as " + target);
}

bool MainWindow::write_new_file(const QString& path, std::span<const std::uint8_t> bytes)
{
    if (const auto failure = common::write_file_atomically(to_path(path), bytes)) {
        show_status("Cannot write " + path + ": " + QString::fromStdString(*failure));
        return false;
    }
    return true;
}

} // namespace shell
