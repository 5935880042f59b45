// MainWindow's edits of the listed image: files added (dropped, or chosen in a requester), deleted and renamed,
// their flags set, and the session's edits of that image undone. Each edit starts from the disc as it was listed
// (an image file that holds another disc by now is listed again first), lets the core build and verify the new
// disc, and writes it through files::save_disc, which holds the image's lock and renames a whole new file over the
// image only while the image still holds the bytes the edit started from. A container is never written over: its
// edit is saved as a new plain image, which is listed from then on.
#include "shell/main_window.h"

#include "common/address_text.h"
#include "common/path_text.h"
#include "image/host_kinds.h"
#include "image/open_container.h"
#include "shell/save_target.h"
#include "shell/text.h"
#include "snapshot/snapshot.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTreeWidget>

#include <algorithm>
#include <array>

namespace shell {
namespace {

constexpr const char* UNDO_HINT = "; Control+Z undoes it";
constexpr std::size_t DISC_NAME_LENGTH = 10;

// Whether a host file is added as what it holds (the files of a tape, a snapshot) rather than as one code file, as
// files_from_path tells them.
bool is_tape_or_snapshot(const QString& path)
{
    const image::HostKind kind = image::host_kind_of_name(to_path(path));
    return kind == image::HostKind::Tape || kind == image::HostKind::Snapshot;
}

bool is_basic_text(const QString& path)
{
    return image::host_kind_of_name(to_path(path)) == image::HostKind::BasicText;
}

// A name for the edited disc of a container: its image's name without the extensions of image kinds
// ("GAME.mgt.gz" gives "GAME").
QString plain_stem(const std::string& catalogue_path)
{
    QString name = from_path(common::file_part(catalogue_path));
    while (is_image_name(to_path(name)) && name.contains('.'))
        name = name.left(name.lastIndexOf('.'));
    return name.isEmpty() ? QString("edited") : name;
}

QString files_text(std::size_t count)
{
    return count == 1 ? QString("1 file") : QString("%1 files").arg(count);
}

QString row_name(const image::CatalogueRow& row)
{
    return shown_disc_text(row.name).trimmed();
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// Asks how to add a file of `length` bytes that is neither a tape nor a snapshot: ZX or SAM Code, and a start
// address at which it fits, asked again after a message until it is one; false when the user cancelled.
bool ask_code_options(Requester& requester, const QString& name, std::int64_t length, const QString& image,
                      files::AddOptions& options)
{
    for (;;) {
        const QString kind =
            requester.ask_choice("Add " + name, "Add " + name + " to " + image + " as:", {"ZX Code", "SAM Code"});
        if (kind.isEmpty())
            return false;
        options.sam = kind == "SAM Code";
        const auto range =
            files::code_start_range(options.sam, static_cast<std::uint64_t>(std::max<std::int64_t>(length, 0)));
        if (!range) {
            requester.show_message("Add " + name,
                                   QString("%1 is %2 bytes long: %3 holds at most %4 bytes")
                                       .arg(name, grouped(length), kind,
                                            grouped(static_cast<std::int64_t>(files::longest_code(options.sam)))),
                                   Icon::Exclamation);
            continue;
        }
        const QString span = QString("%1 to %2").arg(range->first).arg(range->last);
        QString answer = QString::number(std::clamp<std::uint32_t>(32768, range->first, range->last));
        for (;;) {
            answer = requester.ask_text(
                "Start address",
                QString("Start address of %1 (%2 bytes) as %3, from %4:").arg(name, grouped(length), kind, span),
                answer);
            if (answer.isEmpty())
                return false;
            options.start = common::parse_address(answer.toStdString(), range->last);
            if (options.start && *options.start >= range->first)
                return true;
            requester.show_message("Start address", QString("%1 is not a start address from %2").arg(answer, span),
                                   Icon::Exclamation);
        }
    }
}

} // namespace

std::optional<MainWindow::EditBase> MainWindow::editable_disc()
{
    m_status->clearMessage();
    if (m_listed.empty()) {
        show_status("List a disc image first");
        return std::nullopt;
    }
    EditBase base;
    base.shown = from_path(common::file_part(m_listed.path));
    base.container = !m_listed.in_place;
    auto start = session::edit_start(m_listed);
    if (auto* disc = std::get_if<files::DiscValue>(&start)) {
        base.disc = std::move(*disc);
        return base;
    }
    const session::NotEditable& refused = std::get<session::NotEditable>(start);
    switch (refused.file) {
    case session::ListedFile::Gone:
        m_pane->clear();
        forget_list();
        show_status(base.shown + " was moved or deleted: nothing is listed, nothing changed");
        break;
    case session::ListedFile::Changed:
        relist();
        show_status(base.shown + " changed since it was listed: listed again, nothing changed");
        break;
    case session::ListedFile::Same:
        show_status(base.shown + " cannot be edited: " + from_path(refused.reason));
        break;
    }
    return std::nullopt;
}

std::optional<files::SaveResult> MainWindow::save_in_place(const std::string& path, const files::DiscValue& before,
                                                           const files::DiscValue& after)
{
    files::SaveResult saved = files::save_disc(path, before, after);
    if (saved.problem == files::SaveProblem::HardLinks &&
        m_services.requester.ask_yes_no("Several names", from_path(saved.text) + ".\n\nWrite it all the same?",
                                        Icon::Question, Preset::No)) {
        files::SaveOptions options;
        options.split_links = true;
        saved = files::save_disc(path, before, after, options);
    }
    if (saved.written)
        return saved;
    if (saved.problem == files::SaveProblem::Changed && is_listed_image(path)) {
        relist();
        show_status(from_path(saved.text) + "; listed again");
    } else {
        show_status(from_path(saved.text));
    }
    return std::nullopt;
}

void MainWindow::finish_edit(const EditBase& base, const files::EditOutcome& outcome,
                             const std::function<QString(const QString& image)>& what,
                             const std::vector<std::string>& notes)
{
    // The core's reason says that nothing changed (or nothing was edited).
    if (const auto* reason = std::get_if<std::string>(&outcome)) {
        show_status(base.shown + ": " + from_path(*reason));
        return;
    }
    const files::Edited& edited = std::get<files::Edited>(outcome);
    session::EditStep step{m_listed.file, base.disc, edited.disc, {}, edited.changed_slots};
    QString status;
    if (!base.container) {
        const auto saved = save_in_place(step.path, step.before, step.after);
        if (!saved)
            return;
        const QString done = what(base.shown);
        step.what = done.toStdString();
        relist();
        status = capitalised(done) + UNDO_HINT;
        if (!saved->text.empty())
            status += "; " + from_path(saved->text);
    } else {
        const QString target =
            ask_new_plain_image(m_services.requester, QString::fromUtf8("Save edited image as\u2026"),
                                listed_folder() + plain_stem(m_listed.path) + ".mgt", "the edited disc is saved as");
        if (target.isEmpty()) {
            show_status("Not saved: " + base.shown + " is never written over, and the edited disc was not saved");
            return;
        }
        const image::Layout layout = image::layout_from_path(to_path(target));
        auto before = session::in_layout(step.before, layout);
        auto after = session::in_layout(step.after, layout);
        if (!before || !after) {
            show_status("Not saved: the edited disc could not be laid out as " + QFileInfo(target).fileName());
            return;
        }
        if (!write_new_file(target, after->bytes))
            return;
        step.path = to_path(target);
        step.before = std::move(*before);
        step.after = std::move(*after);
        const QString saved = QFileInfo(target).fileName();
        step.what = what(saved).toStdString();
        select_and_list(target);
        status = capitalised(what(base.shown)) + ", saved as " + saved + " (" + base.shown + " unchanged)" + UNDO_HINT;
    }
    append_lines(session::shown_lines(edited.lines));
    append_lines(session::shown_lines(notes));
    select_slots(edited.changed_slots);
    m_edits.record(std::move(step));
    show_status(status);
}

void MainWindow::select_slots(const std::vector<int>& chosen)
{
    m_list->clearSelection();
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (std::ranges::find(chosen, item->data(0, Qt::UserRole).toInt()) != chosen.end()) {
            item->setSelected(true);
            first = first ? first : item;
        }
    }
    if (first) {
        m_list->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
        m_list->scrollToItem(first);
        return;
    }
    // The files are gone (a delete, an add undone): the row now where the first of them was listed, else the last.
    const int count = m_list->topLevelItemCount();
    if (chosen.empty() || count == 0)
        return;
    const int lowest = *std::ranges::min_element(chosen);
    QTreeWidgetItem* next = m_list->topLevelItem(count - 1);
    for (int i = count - 1; i >= 0; --i) {
        if (m_list->topLevelItem(i)->data(0, Qt::UserRole).toInt() > lowest)
            next = m_list->topLevelItem(i);
    }
    m_list->setCurrentItem(next);
    m_list->scrollToItem(next);
}

void MainWindow::add_files_to_image()
{
    if (m_listed.empty()) {
        show_status("List a disc image first");
        return;
    }
    const QStringList paths = m_services.requester.ask_open_files(
        "Add files to " + from_path(common::file_part(m_listed.path)), listed_folder(),
        "Tapes, snapshots and BASIC text|" +
            from_path(image::host_pattern(
                std::array{image::HostKind::Tape, image::HostKind::Snapshot, image::HostKind::BasicText})) +
            "|All Files|*");
    if (!paths.isEmpty())
        add_host_files(paths, false);
}

void MainWindow::add_host_files(const QStringList& paths, bool ask_first)
{
    auto base = editable_disc();
    if (!base)
        return;
    std::vector<files::NewFile> adding;
    std::vector<std::string> notes;
    files::Overflow overflow;
    bool tapes_or_snapshots = false;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        files::AddOptions options;
        if (is_tape_or_snapshot(path)) {
            tapes_or_snapshots = true;
        } else if (is_basic_text(path)) {
            const QString kind = m_services.requester.ask_choice(
                "Add " + name, "Add " + name + " to " + base->shown + " as:", {"ZX BASIC", "SAM BASIC"});
            if (kind.isEmpty()) {
                show_status("Nothing added to " + base->shown);
                return;
            }
            options.sam = kind == "SAM BASIC";
        } else if (!ask_code_options(m_services.requester, name, QFileInfo(path).size(), base->shown, options)) {
            show_status("Nothing added to " + base->shown);
            return;
        }
        auto read = files::files_from_path(to_path(path), options);
        if (const auto* reason = std::get_if<std::string>(&read)) {
            // The reason names the file by its path.
            show_status("Nothing added to " + base->shown + ": " + from_path(*reason));
            return;
        }
        auto& found = std::get<files::FilesToAdd>(read);
        std::ranges::move(found.files, std::back_inserter(adding));
        std::ranges::move(found.notes, std::back_inserter(notes));
        overflow.files += found.overflow.files;
        overflow.sectors += found.overflow.sectors;
    }
    if (adding.empty()) {
        append_lines(session::shown_lines(notes));
        show_status("Nothing added to " + base->shown + ": no file there that a disc can hold");
        return;
    }
    const QString count = files_text(adding.size() + overflow.files);
    if (ask_first && tapes_or_snapshots &&
        !m_services.requester.ask_yes_no("Add files", "Add " + count + " to " + base->shown + "?", Icon::Question))
        return;
    finish_edit(
        *base, files::add_files(base->disc, adding, overflow),
        [&](const QString& image) { return "added " + count + " to " + image; }, notes);
}

void MainWindow::delete_from_image(const image::CatalogueRow& row)
{
    std::vector<int> chosen;
    QString named = row_name(row);
    const QTreeWidgetItem* clicked = nullptr;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == row.slot)
            clicked = m_list->topLevelItem(i);
    }
    if (clicked && clicked->isSelected()) {
        for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
            if (m_list->topLevelItem(i)->isSelected())
                chosen.push_back(m_list->topLevelItem(i)->data(0, Qt::UserRole).toInt());
        }
    } else {
        chosen.push_back(row.slot);
    }
    if (chosen.size() > 1)
        named = files_text(chosen.size());
    auto base = editable_disc();
    if (!base)
        return;
    QString question = "Delete " + named + " from " + base->shown + "?";
    const QStringList guarded = protected_names(chosen);
    if (chosen.size() == 1 && !guarded.isEmpty())
        question += "\n\nIt is protected.";
    else if (!guarded.isEmpty())
        question += QString("\n\n%1 of them %2 protected: %3.")
                        .arg(guarded.size())
                        .arg(guarded.size() == 1 ? "is" : "are")
                        .arg(guarded.join(", "));
    if (!m_services.requester.ask_yes_no("Delete from image", question, Icon::Question, Preset::No))
        return;
    finish_edit(*base, files::remove_files(base->disc, chosen, false, true),
                [&](const QString& image) { return "deleted " + named + " from " + image; });
}

void MainWindow::rename_in_image(const image::CatalogueRow& row)
{
    auto base = editable_disc();
    if (!base)
        return;
    const QString old_name = row_name(row);
    if (!protected_names({row.slot}).isEmpty() &&
        !m_services.requester.ask_yes_no("Rename in image", old_name + " is protected. Rename it all the same?",
                                         Icon::Question, Preset::No))
        return;
    std::string stored = row.name;
    while (!stored.empty() && stored.back() == ' ')
        stored.pop_back();
    QString answer = from_disc(stored);
    for (;;) {
        answer = m_services.requester.ask_text("Rename in image", "New name for " + old_name + " (up to 10 characters)",
                                               answer);
        if (answer.isEmpty())
            return;
        const bool latin1 = std::ranges::all_of(answer, [](QChar c) { return c.unicode() <= 0xFF; });
        if (latin1 && static_cast<std::size_t>(answer.size()) <= DISC_NAME_LENGTH)
            break;
        m_services.requester.show_message(
            "Rename in image", answer + ": a disc name is up to 10 characters of one byte each", Icon::Exclamation);
    }
    std::string new_name = to_disc(answer);
    new_name.resize(DISC_NAME_LENGTH, ' ');
    if (new_name == row.name)
        return;
    finish_edit(*base, files::rename_file(base->disc, row.slot, new_name, true), [&](const QString& image) {
        return "renamed " + old_name + " to " + shown_disc_text(new_name).trimmed() + " in " + image;
    });
}

void MainWindow::toggle_flag(const image::CatalogueRow& row, bool hidden)
{
    auto base = editable_disc();
    if (!base)
        return;
    const bool set = !(hidden ? row.hidden : row.protected_file);
    const files::FlagChange change = set ? files::FlagChange::Set : files::FlagChange::Clear;
    const QString state = hidden ? (set ? "hidden" : "not hidden") : (set ? "protected" : "not protected");
    finish_edit(*base,
                files::set_flags(base->disc, row.slot, hidden ? change : files::FlagChange::Keep,
                                 hidden ? files::FlagChange::Keep : change),
                [&](const QString& image) { return "made " + row_name(row) + " " + state + " in " + image; });
}

QStringList MainWindow::protected_names(const std::vector<int>& chosen) const
{
    QStringList names;
    for (const image::CatalogueRow& row : m_listed.catalogue) {
        if (std::ranges::find(chosen, row.slot) != chosen.end() && row.protected_file)
            names << row_name(row);
    }
    return names;
}

} // namespace shell
