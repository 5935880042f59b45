// The screen viewer: a fixed-size window that shows one decoded screen at 1x when it opens (a ZX screen and most
// SAM modes 256 x 192, SAM MODE 3 512 x 192). Control+plus and Control+minus zoom it between 1x and 4x,
// nearest-neighbour, no larger than fits on the screen, the window centred anew over its owner at each size; Control+S
// saves the screen as a PNG picture of its own size (the pixels `kestrel-cli screen` writes) and Control+C copies the
// picture to the clipboard. Escape closes it.
#pragma once

#include "inspect/screen.h"
#include "shell/interfaces.h"

#include <QImage>
#include <QWidget>

#include <span>
#include <vector>

namespace shell {

inline constexpr int MIN_ZOOM = 1;
inline constexpr int MAX_ZOOM = 4;

class ScreenViewer : public QWidget
{
    Q_OBJECT
public:
    // `pixels`: the `width` x `height` picture, rows top to bottom (missing pixels are black). The save requester
    // proposes `proposed_path`. Centred over `owner`, never left of or above the screen's top-left corner.
    ScreenViewer(std::span<const inspect::Pixel> pixels, int width, int height, Requester& requester,
                 QString proposed_path, QWidget* owner);

    // The picture at 1x.
    const QImage& image() const { return m_image; }
    int zoom() const { return m_zoom; }
    // Shows the picture at `zoom` times its size, kept within 1-4 and within what fits on the screen.
    void set_zoom(int zoom);
    // Asks for a file name and writes the picture there as PNG; a failure is shown in a message box.
    void save_png();
    // Puts the picture (at 1x) on the clipboard.
    void copy_picture();

signals:
    // A line for the main window's status bar: where the picture was saved.
    void status_message(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<inspect::Pixel> m_pixels;
    int m_width;
    int m_height;
    QImage m_image;
    Requester& m_requester;
    QString m_proposed_path;
    int m_zoom = MIN_ZOOM;
};

// The largest zoom, 1-4, at which a picture of `picture` size fits in `available` (1 when even 1x does not).
int fitting_zoom(QSize picture, QSize available);

// Places a window of the given client size centred over `owner`'s frame, moved right or down where it would
// lie left of or above the screen's top-left corner.
void centre_over(QWidget& window, const QWidget& owner);

} // namespace shell
