// The progress window of a floppy transfer: the track at work, the errors so far, and Cancel. The transfer runs on
// a thread of its own, so the window paints and takes the click while a drive grinds through a damaged track; it
// reports through the hooks the window hands it and stops at its next step once cancelled. Closing the window
// cancels as well; the window closes itself when the transfer has ended. Run it with run_modal.
#pragma once

#include "transfer/disc_transfer.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

namespace shell {

class TransferWindow : public QWidget
{
    Q_OBJECT
public:
    // The transfer; it must not touch any widget, and should keep what it finds for the caller to show.
    using Work = std::function<void(const transfer::Hooks& hooks)>;

    // `title` names the transfer ("Reading drive A:"). The work starts when the window is first shown.
    TransferWindow(const QString& title, Work work, QWidget* owner);
    // Cancels a transfer still running and waits for it to stop.
    ~TransferWindow() override;

    // Whether Cancel was clicked or the window was asked to close while the transfer ran.
    bool cancel_requested() const { return m_cancel; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void show_progress(const transfer::Progress& progress);
    void request_cancel();
    void finish();

    Work m_work;
    std::atomic<bool> m_cancel{false};
    bool m_started = false;
    bool m_finished = false;
    QLabel* m_track = nullptr;
    QLabel* m_errors = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel_button = nullptr;
    std::jthread m_thread; // last, so that it is joined before the members the work uses go away
};

} // namespace shell
