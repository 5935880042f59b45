// The screen viewer's keys, run from the main window as a user opens it: Control+S saves the picture kestrel-cli
// writes, Control+C copies it, Control+plus and Control+minus zoom between 1x and 4x without smoothing.
#include "window_fixture.h"

#include "cli/cli_test_util.h"
#include "shell/screen_viewer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QStatusBar>

using testing_support::ImageBuilder;
using testing_support::WindowFixture;

namespace {

// A screen in slot 3: black ink on white paper, only the top-left pixel set.
void write_screen_image(WindowFixture& f)
{
    ImageBuilder b;
    std::vector<std::uint8_t> screen(6912, 0x00);
    std::fill(screen.begin() + 6144, screen.end(), std::uint8_t{0x38});
    screen[0] = 0x80;
    b.add_zx_file(3, 7, "screen", screen, 16384);
    f.write_image("s.mgt", b);
}

// Opens the viewer on the screen and runs `act` on it, then closes it.
void with_viewer(WindowFixture& f, const std::function<void(shell::ScreenViewer&)>& act)
{
    write_screen_image(f);
    f.open();
    f.pick(f.path("s.mgt"));
    f.list()->topLevelItem(0)->setSelected(true);
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* viewer = f.window->findChild<shell::ScreenViewer*>("screenViewer");
        opened = viewer != nullptr;
        if (!viewer)
            return;
        act(*viewer);
        viewer->close();
    });
    QTest::mouseClick(f.window->findChild<QPushButton*>("viewButton"), Qt::LeftButton);
    QVERIFY(opened);
}

} // namespace

class ScreenViewerTest : public QObject
{
    Q_OBJECT
private slots:
    void control_s_saves_the_png_of_kestrel_cli_and_control_c_copies();
    void control_plus_and_minus_zoom_from_1x_to_4x();
};

void ScreenViewerTest::control_s_saves_the_png_of_kestrel_cli_and_control_c_copies()
{
    WindowFixture f;
    const QString png = f.path("saved.png");
    f.requester.expect("save", png);
    QImage shown;
    QGuiApplication::clipboard()->clear();
    with_viewer(f, [&](shell::ScreenViewer& viewer) {
        shown = viewer.image();
        QTest::keyClick(&viewer, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(&viewer, Qt::Key_C, Qt::ControlModifier);
    });
    QCOMPARE(f.requester.asked().value(0).text, f.path("screen.png"));
    QCOMPARE(f.requester.asked().value(0).extra, QString("PNG Files|*.png"));
    const std::string reference = f.path("cli.png").toStdString();
    QCOMPARE(testing_support::run_cli({"screen", f.path("s.mgt").toStdString(), "--slot", "3", "-o", reference}).code,
             0);
    QVERIFY(testing_support::read_file(png.toStdString()) == testing_support::read_file(reference));
    QCOMPARE(f.window->findChild<QStatusBar*>("statusBar")->currentMessage(), "Screen saved to " + png);
    QCOMPARE(QGuiApplication::clipboard()->image(), shown);
    QCOMPARE(shown.size(), QSize(256, 192));
}

void ScreenViewerTest::control_plus_and_minus_zoom_from_1x_to_4x()
{
    WindowFixture f;
    QList<QSize> sizes;
    QImage at_2x;
    QPoint centre_offset;
    with_viewer(f, [&](shell::ScreenViewer& viewer) {
        sizes << viewer.size();
        const QList<std::pair<int, Qt::KeyboardModifiers>> keys = {
            {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier},
            {Qt::Key_Equal, Qt::ControlModifier},
            {Qt::Key_Plus, Qt::ControlModifier},
            {Qt::Key_Plus, Qt::ControlModifier}, // stays at 4x
            {Qt::Key_Minus, Qt::ControlModifier},
            {Qt::Key_Minus, Qt::ControlModifier},
            {Qt::Key_Minus, Qt::ControlModifier},
            {Qt::Key_Minus, Qt::ControlModifier}, // stays at 1x
        };
        for (const auto& [key, modifiers] : keys) {
            QTest::keyClick(&viewer, static_cast<Qt::Key>(key), modifiers);
            sizes << viewer.size();
            QCOMPARE(viewer.minimumSize(), viewer.maximumSize());
            if (viewer.zoom() == 2 && at_2x.isNull()) {
                at_2x = viewer.grab().toImage();
                centre_offset = viewer.geometry().center() - f.window->frameGeometry().center();
            }
        }
    });
    const QList<QSize> expected = {{256, 192}, {512, 384}, {768, 576}, {1024, 768}, {1024, 768},
                                   {768, 576}, {512, 384}, {256, 192}, {256, 192}};
    QCOMPARE(sizes, expected);
    QVERIFY2(centre_offset.manhattanLength() <= 2,
             qPrintable(QString("%1,%2").arg(centre_offset.x()).arg(centre_offset.y())));
    // Nearest neighbour: the set pixel becomes a sharp 2 x 2 block.
    QCOMPARE(at_2x.size(), QSize(512, 384));
    for (const QPoint& ink : {QPoint(0, 0), QPoint(1, 1)})
        QCOMPARE(at_2x.pixel(ink) & 0xFFFFFF, 0x040204u);
    for (const QPoint& paper : {QPoint(2, 0), QPoint(0, 2)})
        QCOMPARE(at_2x.pixel(paper) & 0xFFFFFF, 0xCCC6CCu);
}

QTEST_MAIN(ScreenViewerTest)
#include "screen_viewer_test.moc"
