// Undo and redo of the window's edits: the session's edit history writes the disc before or after an edit back,
// and the window lists the image again and says what was done.
#include "shell/main_window.h"

#include "common/path_text.h"
#include "shell/text.h"

#include <QStatusBar>

namespace shell {
namespace {

constexpr const char* UNDO_HINT = "; Control+Z undoes it";

} // namespace

session::EditHistory::OfImage MainWindow::listed_image_test() const
{
    return [this](const std::string& path) {
        return is_listed_image(path);
    };
}

void MainWindow::undo_edit()
{
    m_status->clearMessage();
    const auto undone = m_edits.undo(listed_image_test());
    if (!undone) {
        show_status(m_edits.empty() || m_listed.empty()
                        ? QString("Nothing to undo")
                        : "Nothing to undo in " + from_path(common::file_part(m_listed.path)));
        return;
    }
    const files::SaveResult& saved = undone->saved;
    if (!saved.written) {
        // An image changed since the edit can no longer be given back what it held: its step is gone.
        if (saved.problem == files::SaveProblem::Changed) {
            relist();
            show_status("Not undone: " + from_path(saved.text) + "; listed again");
        } else {
            show_status("Not undone: " + from_path(saved.text));
        }
        return;
    }
    relist();
    select_slots(undone->step.changed_slots);
    QString status = "Undone: " + QString::fromStdString(undone->step.what);
    if (m_edits.undoable(listed_image_test()) != nullptr)
        status += "; Control+Z undoes the edit before";
    if (!saved.text.empty())
        status += "; " + from_path(saved.text);
    show_status(status);
}

void MainWindow::redo_edit()
{
    m_status->clearMessage();
    const auto redone = m_edits.redo(listed_image_test());
    if (!redone) {
        show_status("Nothing to redo");
        return;
    }
    const files::SaveResult& saved = redone->saved;
    if (!saved.written) {
        // An image changed since the undo can no longer be given the edit again: its step is gone.
        if (saved.problem == files::SaveProblem::Changed) {
            relist();
            show_status("Not redone: " + from_path(saved.text) + "; listed again");
        } else {
            show_status("Not redone: " + from_path(saved.text));
        }
        return;
    }
    relist();
    select_slots(redone->step.changed_slots);
    QString status = "Redone: " + QString::fromStdString(redone->step.what) + UNDO_HINT;
    if (!saved.text.empty())
        status += "; " + from_path(saved.text);
    show_status(status);
}

} // namespace shell
