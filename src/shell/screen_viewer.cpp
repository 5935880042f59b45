#include "shell/screen_viewer.h"

#include "common/atomic_file.h"
#include "inspect/png_writer.h"
#include "shell/save_target.h"
#include "shell/text.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace shell {
namespace {

constexpr QRgb OPAQUE = 0xFF000000u;

} // namespace

int fitting_zoom(QSize picture, QSize available)
{
    const int across = available.width() / std::max(picture.width(), 1);
    const int down = available.height() / std::max(picture.height(), 1);
    return std::clamp(std::min(across, down), MIN_ZOOM, MAX_ZOOM);
}

void centre_over(QWidget& window, const QWidget& owner)
{
    const QRect frame = owner.frameGeometry();
    QPoint top_left = frame.center() - QPoint(window.width() / 2, window.height() / 2);
    const QRect screen = owner.screen() ? owner.screen()->geometry() : QRect();
    top_left.setX(std::max(top_left.x(), screen.left()));
    top_left.setY(std::max(top_left.y(), screen.top()));
    window.move(top_left);
}

ScreenViewer::ScreenViewer(std::span<const inspect::Pixel> pixels, int width, int height, Requester& requester,
                           QString proposed_path, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_pixels(pixels.begin(), pixels.end()), m_width(std::max(width, 1)), m_height(std::max(height, 1)),
      m_image(m_width, m_height, QImage::Format_RGB32), m_requester(requester),
      m_proposed_path(std::move(proposed_path))
{
    m_pixels.resize(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), 0);
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x)
            m_image.setPixel(x, y, OPAQUE | m_pixels[static_cast<std::size_t>(y * m_width + x)]);
    }
    setObjectName("screenViewer");
    setWindowTitle("Screen Viewer");
    setAttribute(Qt::WA_OpaquePaintEvent);
    set_zoom(MIN_ZOOM);
}

void ScreenViewer::set_zoom(int zoom)
{
    // The window's frame takes some of the screen as well.
    const QScreen* shown_on = screen();
    const QSize frame = frameGeometry().size() - size();
    const int largest =
        shown_on ? fitting_zoom({m_width, m_height}, shown_on->availableGeometry().size() - frame) : MAX_ZOOM;
    m_zoom = std::clamp(zoom, MIN_ZOOM, largest);
    setFixedSize(m_width * m_zoom, m_height * m_zoom);
    if (const QWidget* owner = parentWidget())
        centre_over(*this, *owner);
    update();
}

void ScreenViewer::save_png()
{
    const QString path = ask_new_file(m_requester, "Save Screen", m_proposed_path, "PNG Files|*.png");
    // Nothing saved: an earlier "saved" line no longer tells what happened.
    if (path.isEmpty()) {
        emit status_message(QString());
        return;
    }
    const auto png = inspect::encode_png(m_pixels, m_width, m_height);
    const auto failure = png ? common::write_file_atomically(to_path(path), *png)
                             : std::optional<std::string>("the picture cannot be encoded");
    if (failure) {
        emit status_message("Screen not saved: cannot write " + path);
        m_requester.show_message("Save Screen", "Cannot write " + path + ": " + QString::fromStdString(*failure),
                                 Icon::Exclamation);
        return;
    }
    m_proposed_path = path;
    emit status_message("Screen saved to " + path);
}

void ScreenViewer::copy_picture()
{
    QGuiApplication::clipboard()->setImage(m_image);
}

void ScreenViewer::paintEvent(QPaintEvent*)
{
    // Without smooth transformation the painter scales by repeating pixels, which keeps the screen's hard edges.
    QPainter painter(this);
    painter.drawImage(rect(), m_image);
}

void ScreenViewer::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // Plus is Shift+= on most keyboards, so both keys zoom in, with or without Shift.
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        set_zoom(m_zoom + 1);
        break;
    case Qt::Key_Minus:
        set_zoom(m_zoom - 1);
        break;
    case Qt::Key_S:
        save_png();
        break;
    case Qt::Key_C:
        copy_picture();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace shell
