// Modal windows without Qt's modality: a sub-window runs a local event loop while every other window keeps
// painting but takes no input. Unlike QDialog::exec, a close request for the main window still arrives, so the
// main window can close the open sub-window instead of itself.
#pragma once

#include <QObject>
#include <QSet>

class QEventLoop;
class QWidget;

namespace shell {

// Shows `window` and returns when it has been closed. Input for the windows that were open before is dropped
// meanwhile; the window's own pop-ups (menus, combo lists) work.
void run_modal(QWidget& window);

// Runs `loop` (which the caller has connected to whatever ends it) with input for every window dropped. For
// waiting on a program that runs outside.
void run_without_input(QEventLoop& loop);

// The innermost window shown by run_modal, or nullptr.
QWidget* active_modal_window();

// Whether run_modal or run_without_input is running.
bool is_modal_active();

// Processes the events already queued, dropping user input (clicks, keys) and performing everything else
// (painting, timers, the file browser's updates).
void drain_pending_events();

// Drops user input for a set of windows while it lives.
class InputBlocker : public QObject
{
public:
    // `blocked` empty: input for every window is dropped.
    explicit InputBlocker(QSet<const QWidget*> blocked = {});
    ~InputBlocker() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSet<const QWidget*> m_blocked;
};

} // namespace shell
