#include "shell/screen_viewer.h"

#include <QPainter>
#include <QScreen>

namespace shell {

void centre_over(QWidget& window, const QWidget& owner)
{
    const QRect frame = owner.frameGeometry();
    QPoint top_left = frame.center() - QPoint(window.width() / 2, window.height() / 2);
    const QRect screen = owner.screen() ? owner.screen()->geometry() : QRect();
    top_left.setX(std::max(top_left.x(), screen.left()));
    top_left.setY(std::max(top_left.y(), screen.top()));
    window.move(top_left);
}

ScreenViewer::ScreenViewer(const QImage& screen, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_image(screen)
{
    setObjectName("screenViewer");
    setWindowTitle("Screen Viewer");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(SCREEN_WIDTH, SCREEN_HEIGHT);
    if (owner)
        centre_over(*this, *owner);
}

void ScreenViewer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

} // namespace shell
