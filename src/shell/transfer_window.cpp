#include "shell/transfer_window.h"

#include "shell/screen_viewer.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace shell {

TransferWindow::TransferWindow(const QString& title, Work work, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_work(std::move(work))
{
    setObjectName("transferWindow");
    if (owner)
        setFont(owner->font());
    setWindowTitle(title);
    setFixedSize(260, 95); // a fixed layout, in pixels

    m_track = new QLabel("Starting", this);
    m_track->setObjectName("trackLabel");
    m_track->setGeometry(10, 8, 240, 17);
    m_errors = new QLabel("Errors so far: 0", this);
    m_errors->setObjectName("errorsLabel");
    m_errors->setGeometry(10, 27, 240, 17);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName("transferProgress");
    m_bar->setRange(0, transfer::TRACK_COUNT);
    m_bar->setValue(0);
    m_bar->setGeometry(10, 47, 240, 15);
    m_cancel_button = new QPushButton("Cancel", this);
    m_cancel_button->setObjectName("cancelButton");
    m_cancel_button->setAutoDefault(false);
    m_cancel_button->setGeometry(90, 68, 80, 21);
    connect(m_cancel_button, &QPushButton::clicked, this, &TransferWindow::request_cancel);

    if (owner)
        centre_over(*this, *owner);
}

TransferWindow::~TransferWindow()
{
    m_cancel = true;
}

void TransferWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    // The hooks run on the transfer's thread: progress reaches the widgets as queued calls, which Qt drops when
    // the window has gone.
    transfer::Hooks hooks;
    hooks.on_track = [this](const transfer::Progress& progress) {
        QMetaObject::invokeMethod(
            this, [this, progress] { show_progress(progress); }, Qt::QueuedConnection);
    };
    hooks.is_cancelled = [this] {
        return m_cancel.load();
    };
    m_thread = std::jthread([this, hooks] {
        m_work(hooks);
        QMetaObject::invokeMethod(
            this, [this] { finish(); }, Qt::QueuedConnection);
    });
}

void TransferWindow::closeEvent(QCloseEvent* event)
{
    if (m_finished || !m_started) {
        event->accept();
        return;
    }
    request_cancel();
    event->ignore();
}

void TransferWindow::show_progress(const transfer::Progress& progress)
{
    m_track->setText(QString("Track %1 side %2 (%3 of %4 done)")
                         .arg(progress.track)
                         .arg(progress.side)
                         .arg(progress.tracks_done)
                         .arg(transfer::TRACK_COUNT));
    m_errors->setText(QString("Errors so far: %1").arg(progress.errors));
    m_bar->setValue(progress.tracks_done);
}

void TransferWindow::request_cancel()
{
    m_cancel = true;
    m_cancel_button->setEnabled(false);
    m_cancel_button->setText("Cancelling");
}

void TransferWindow::finish()
{
    m_finished = true;
    if (m_thread.joinable())
        m_thread.join();
    close();
}

} // namespace shell
