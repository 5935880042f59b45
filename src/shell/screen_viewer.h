// The screen viewer: a fixed 256 x 192 window that shows one decoded ZX screen at scale 1:1.
#pragma once

#include <QImage>
#include <QWidget>

namespace shell {

inline constexpr int SCREEN_WIDTH = 256;
inline constexpr int SCREEN_HEIGHT = 192;

class ScreenViewer : public QWidget
{
    Q_OBJECT
public:
    // Centred over `owner`, never left of or above the screen's top-left corner.
    ScreenViewer(const QImage& screen, QWidget* owner);

    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

// Places a window of the given client size centred over `owner`'s frame, moved right or down where it would
// lie left of or above the screen's top-left corner.
void centre_over(QWidget& window, const QWidget& owner);

} // namespace shell
