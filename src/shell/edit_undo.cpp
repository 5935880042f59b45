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

void MainWindow::show_history_step(const session::EditHistory::Outcome& outcome, const QString& not_done,
                                   QString written)
{
    const files::SaveResult& saved = outcome.saved;
    if (!saved.written) {
        // An image changed since can no longer be given back what it held: its step is gone.
        if (saved.problem == files::SaveProblem::Changed) {
            relist();
            show_status(not_done + from_path(saved.text) + "; listed again");
        } else {
            show_status(not_done + from_path(saved.text));
        }
        return;
    }
    relist();
    select_slots(outcome.step.changed_slots);
    if (!saved.text.empty())
        written += "; " + from_path(saved.text);
    show_status(written);
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
    QString status = "Undone: " + QString::fromStdString(undone->step.what);
    if (m_edits.undoable(listed_image_test()) != nullptr)
        status += "; Control+Z undoes the edit before";
    show_history_step(*undone, "Not undone: ", status);
}

void MainWindow::redo_edit()
{
    m_status->clearMessage();
    const auto redone = m_edits.redo(listed_image_test());
    if (!redone) {
        show_status("Nothing to redo");
        return;
    }
    show_history_step(*redone, "Not redone: ", "Redone: " + QString::fromStdString(redone->step.what) + UNDO_HINT);
}

} // namespace shell
