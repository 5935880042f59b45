// MainWindow's row commands: the row menu's table and the commands it and the buttons run on the listed image.
#include "shell/main_window.h"

#include "basic/slot_listing.h"
#include "common/atomic_file.h"
#include "common/path_text.h"
#include "image/file_export.h"
#include "inspect/screen.h"
#include "inspect/slot_screen.h"
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

// Whether "View Screen" shows the row: a ZX screen by its length, or a SAM Screen file by its type.
bool is_viewable_screen(const image::CatalogueRow& row)
{
    return image::is_screen(row) || row.type_code == image::TYPE_SAM_SCREEN;
}

bool any_row(const image::CatalogueRow&)
{
    return true;
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
    {"View Screen", is_viewable_screen,
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.view_screen(row);
     }},
    {"Convert to TAP", [](const image::CatalogueRow& row) { return image::has_tape_form(row.type_code); },
     [](MainWindow& window, const image::CatalogueRow&) {
         window.convert_to_tap();
     }},
    {"List BASIC",
     [](const image::CatalogueRow& row) {
         return row.type_code == image::TYPE_ZX_BASIC || row.type_code == image::TYPE_SAM_BASIC;
     },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.list_basic(row);
     }},
    {"Export file\u2026", [](const image::CatalogueRow& row) { return image::is_exportable(row.type_code); },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.export_row(row);
     }},
    {"Save as snapshot\u2026",
     [](const image::CatalogueRow& row) { return snapshot::is_plusd_snapshot_type(row.type_code); },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.save_snapshot(row);
     }},
    {nullptr, any_row, nullptr},
    {"Delete from image", any_row,
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.delete_from_image(row);
     }},
    {"Rename in image\u2026", any_row,
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.rename_in_image(row);
     }},
    {"Hidden", any_row, [](MainWindow& window, const image::CatalogueRow& row) { window.toggle_flag(row, true); },
     [](const image::CatalogueRow& row) {
         return row.attributes.find('H') != std::string::npos;
     }},
    {"Protected", any_row, [](MainWindow& window, const image::CatalogueRow& row) { window.toggle_flag(row, false); },
     [](const image::CatalogueRow& row) {
         return row.attributes.find('P') != std::string::npos;
     }},
}};

} // namespace

void MainWindow::show_row_menu(const QPoint& position)
{
    // Off the rows, the menu offers what applies to the image alone.
    const int index = m_list->indexOfTopLevelItem(m_list->itemAt(position));
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
    connect(menu.addAction(QString::fromUtf8("Add files\u2026")), &QAction::triggered, &menu, [&add] { add = true; });
    const auto step = last_undo_step();
    QAction* undo_action = menu.addAction(step == m_undo.end() ? QString("Undo") : "Undo: " + step->what);
    undo_action->setShortcut(QKeySequence::Undo);
    undo_action->setEnabled(step != m_undo.end());
    connect(undo_action, &QAction::triggered, &menu, [&undo] { undo = true; });
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
}

void MainWindow::convert_to_tap()
{
    m_current_image_path = to_path(m_browser->selected_path());
    m_status->clearMessage();
    if (m_list->selectedItems().isEmpty()) {
        show_status("Select the files to convert first");
        return;
    }
    std::vector<tape::SelectedRow> rows;
    int sam_files = 0;
    int tape_forms = 0;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        const image::CatalogueRow& row = m_listed.catalogue[static_cast<std::size_t>(i)];
        if (item->isSelected()) {
            rows.push_back({row.name, item->data(0, Qt::UserRole).toInt()});
            sam_files += image::file_type(row.type_code).sam_system ? 1 : 0;
            tape_forms += image::has_tape_form(row.type_code) ? 1 : 0;
        }
    }
    const int selected = static_cast<int>(rows.size());
    // Nothing to put on a tape: no name asked, no tape written.
    if (tape_forms == 0) {
        show_status(sam_files == selected ? conversion_status(0, selected, sam_files, QString())
                                          : QString("0 of %1 files: none of them has a tape form").arg(selected));
        return;
    }
    m_pane->clear();
    const QString answer =
        ask_save_path(m_services.requester, "Enter Save Filename", from_path(m_settings.savefile), "TAP Files|*.tap");
    // A cancelled requester ends the command and keeps the remembered name.
    if (answer.isEmpty())
        return;
    m_settings.savefile = to_path(answer);
    if (tape::is_nonempty_file(m_settings.savefile) &&
        !m_services.requester.ask_yes_no("File exist", "Do you want ot overwrite " + answer + " ?", Icon::Question))
        return;

    const tape::ConversionResult result =
        tape::convert_files(listed_source(), m_listed.path, rows, m_settings.BasStrip != 0, m_settings.savefile);
    append_lines(result.lines);
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
    show_status("Select a screen file (6912 bytes) to view");
}

void MainWindow::view_screen(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = shown_disc_text(row.name).trimmed();
    const QString proposed = listed_folder() + host_file_name(from_disc(row.name)) + ".png";
    if (row.type_code == image::TYPE_SAM_SCREEN) {
        // A SAM screen at its mode's own size; one that cannot be decoded opens nothing.
        const auto read = inspect::read_slot_sam_screen(listed_source(), row.slot);
        if (const auto* reason = std::get_if<std::string>(&read)) {
            show_status(name + ": " + QString::fromStdString(*reason));
            return;
        }
        const auto& sam = std::get<inspect::SlotSamScreen>(read);
        if (!sam.chain.complete())
            show_status(name + ": " + QString::fromStdString(image::shortfall_text(sam.chain)));
        ScreenViewer viewer(sam.picture.pixels, sam.picture.width, sam.picture.height, m_services.requester, proposed,
                            this);
        connect(&viewer, &ScreenViewer::status_message, this, &MainWindow::show_status);
        run_modal(viewer);
        return;
    }
    if (!image::is_screen(row)) {
        show_status(QString("%1 is %2 bytes long, not a 6912-byte screen").arg(name).arg(row.length));
        return;
    }
    const auto screen = inspect::read_slot_screen(listed_source(), row.slot);
    if (!screen) {
        show_status(name + " could not be read as a ZX screen");
        return;
    }
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(m_pixels, screen->bytes, pixels);
    ScreenViewer viewer(pixels, inspect::SCREEN_WIDTH, inspect::SCREEN_HEIGHT, m_services.requester, proposed, this);
    connect(&viewer, &ScreenViewer::status_message, this, &MainWindow::show_status);
    run_modal(viewer);
}

void MainWindow::list_basic(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = shown_disc_text(row.name).trimmed();
    const bool sam = row.type_code == image::TYPE_SAM_BASIC;
    const QString dialect = sam ? "SAM BASIC" : "ZX BASIC";
    // With the loader rewrite on, a ZX listing shows the program as "Convert to TAP" writes it; a SAM program has
    // no loader to rewrite.
    std::optional<basic::SlotListing> listed =
        basic::list_slot(listed_source(), row.slot, !sam && m_settings.BasStrip != 0);
    if (!listed) {
        show_status(name + " could not be read as a " + dialect + " program");
        return;
    }
    // After the rewrite, the statements that would still stop with a syntax error from tape are marked.
    std::vector<std::string>& lines = listed->listing.lines;
    for (const tape::DiscOnlyStatement& found : listed->disc_only) {
        std::string number = std::to_string(found.line);
        number.insert(0, number.size() < 5 ? 5 - number.size() : 0, ' ');
        const auto line = std::ranges::find_if(lines, [&](const std::string& l) { return l.starts_with(number); });
        if (line != lines.end())
            *line += "   <- +D only, stops from tape: statement " + std::to_string(found.statement) + " " + found.what;
    }
    if (!listed->disc_only.empty())
        show_status(name + ": +D-only syntax stops it from tape at " +
                    QString::fromStdString(tape::describe(listed->disc_only)));
    BasicWindow window(name + " - " + (listed->sam ? "SAM BASIC" : "ZX BASIC"), lines, this);
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
    QString status = QString("%1 exported to %2 (%3 bytes)").arg(name, target).arg(file.bytes.size());
    if (!file.chain.complete())
        status += "; " + QString::fromStdString(image::shortfall_text(file.chain));
    show_status(status);
}

void MainWindow::save_snapshot(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = host_file_name(from_disc(row.name));
    const QString target =
        ask_new_file(m_services.requester, "Save as snapshot", listed_folder() + name + ".z80",
                     "Z80 Snapshots|*.z80|SNA Snapshots|*.sna", [](const QString& path) {
                         return snapshot::format_from_path(to_path(path))
                                    ? QString()
                                    : QFileInfo(path).fileName() + ": a snapshot is saved as .z80 or .sna";
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
