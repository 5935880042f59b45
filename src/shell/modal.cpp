#include "shell/modal.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace shell {
namespace {

std::vector<QPointer<QWidget>> g_modal_windows;
int g_waits = 0;

bool is_user_input(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Quits a local loop when the watched window is closed or hidden.
class CloseWatcher : public QObject
{
public:
    CloseWatcher(QWidget& window, QEventLoop& loop) : m_loop(loop) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide || event->type() == QEvent::Destroy)
            m_loop.quit();
        return false;
    }

private:
    QEventLoop& m_loop;
};

} // namespace

InputBlocker::InputBlocker(QSet<const QWidget*> blocked) : m_blocked(std::move(blocked))
{
    qApp->installEventFilter(this);
}

InputBlocker::~InputBlocker()
{
    qApp->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (!is_user_input(event->type()) || !watched->isWidgetType())
        return false;
    if (m_blocked.isEmpty())
        return true;
    return m_blocked.contains(static_cast<QWidget*>(watched)->window());
}

void run_modal(QWidget& window)
{
    QSet<const QWidget*> blocked;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != &window && top->isVisible())
            blocked.insert(top);
    }
    InputBlocker blocker(blocked);
    g_modal_windows.emplace_back(&window);
    QEventLoop loop;
    CloseWatcher watcher(window, loop);
    window.show();
    window.raise();
    window.activateWindow();
    if (window.isVisible())
        loop.exec();
    g_modal_windows.pop_back();
}

void run_without_input(QEventLoop& loop)
{
    InputBlocker blocker;
    ++g_waits;
    loop.exec();
    --g_waits;
}

QWidget* active_modal_window()
{
    for (auto it = g_modal_windows.rbegin(); it != g_modal_windows.rend(); ++it) {
        if (*it)
            return *it;
    }
    return nullptr;
}

bool is_modal_active()
{
    return g_waits > 0 || active_modal_window() != nullptr;
}

void drain_pending_events()
{
    InputBlocker blocker;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace shell
