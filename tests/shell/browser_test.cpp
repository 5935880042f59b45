// The file browser's events as a user makes them, the browser menu, queued input dropped after a load, and the
// image files left exactly as they were by everything the window does.
#include "window_fixture.h"

#include "shell/screen_viewer.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <functional>

using testing_support::ImageBuilder;
using testing_support::PopupWatcher;
using testing_support::WindowFixture;

namespace {

QPoint centre_of(const WindowFixture& f, const QString& path)
{
    shell::FileBrowser* browser = f.browser();
    return browser->visualRect(browser->file_model()->index(path)).center();
}

// A press and release on the row, then the double click, as the window system delivers them.
void double_click(QTreeWidget* list, int row)
{
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QMouseEvent event(QEvent::MouseButtonDblClick, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &event);
}

ImageBuilder one_file()
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", std::vector<std::uint8_t>(100, 7), 32768);
    return b;
}

} // namespace

class BrowserTest : public QObject
{
    Q_OBJECT
private slots:
    void right_click_on_another_item_selects_it_without_a_menu();
    void right_click_on_the_selected_item_shows_the_menu();
    void left_click_on_the_selected_image_loads_it_again();
    void double_click_on_a_row_views_the_screen();
    void input_queued_during_a_load_is_dropped();
    void image_files_are_never_changed();
};

void BrowserTest::right_click_on_another_item_selects_it_without_a_menu()
{
    WindowFixture f;
    f.write_image("a.mgt", one_file());
    f.open();
    bool menu_shown = false;
    PopupWatcher watcher([&](QMenu* menu) {
        menu_shown = true;
        menu->close();
    });
    QTest::mouseClick(f.browser()->viewport(), Qt::RightButton, {}, centre_of(f, f.path("a.mgt")));
    QTest::qWait(100);
    QVERIFY(!menu_shown);
    QCOMPARE(f.browser()->selected_path(), f.path("a.mgt"));
    QCOMPARE(f.list()->topLevelItemCount(), 1);
}

void BrowserTest::right_click_on_the_selected_item_shows_the_menu()
{
    WindowFixture f;
    f.write_image("a.mgt", one_file());
    f.open();
    f.pick(f.path("a.mgt"));
    f.pane()->appendPlainText("left over");
    QStringList items;
    PopupWatcher watcher([&](QMenu* menu) {
        for (QAction* action : menu->actions())
            items << action->text();
        menu->actions().value(1)->trigger(); // "Delete file"
        menu->close();
    });
    f.requester.expect("yesno", "no");
    QTest::mouseClick(f.browser()->viewport(), Qt::RightButton, {}, centre_of(f, f.path("a.mgt")));
    QCOMPARE(items, QStringList({"Rename file", "Delete file", QString::fromUtf8("New image from tapes\u2026"), "",
                                 QString::fromUtf8("About Kestrel\u2026")}));
    QVERIFY(f.requester.exhausted());
    QVERIFY(f.requester.asked().value(0).text.startsWith("Deleting " + f.path("a.mgt") + "\n\n"));
    QVERIFY(QFile::exists(f.path("a.mgt")));
}

void BrowserTest::left_click_on_the_selected_image_loads_it_again()
{
    WindowFixture f;
    f.write_image("a.mgt", one_file());
    f.open();
    f.pick(f.path("a.mgt"));
    f.pane()->clear();
    QTest::mouseClick(f.browser()->viewport(), Qt::LeftButton, {}, centre_of(f, f.path("a.mgt")));
    QCOMPARE(f.pane_lines().value(0), "Scanning file: " + f.path("a") + " ...");
}

void BrowserTest::double_click_on_a_row_views_the_screen()
{
    WindowFixture f;
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", std::vector<std::uint8_t>(100, 7), 32768);
    b.add_zx_file(1, 7, "screen", std::vector<std::uint8_t>(6912, 0x38), 16384);
    f.write_image("a.mgt", b);
    f.open();
    f.pick(f.path("a.mgt"));
    int viewers = 0;
    const auto close_viewer = [&] {
        if (auto* viewer = f.window->findChild<shell::ScreenViewer*>("screenViewer")) {
            ++viewers;
            viewer->close();
        }
    };
    QTreeWidget* list = f.list();
    QTimer::singleShot(0, close_viewer);
    double_click(list, 1);
    QCOMPARE(viewers, 1);
    QTimer::singleShot(0, close_viewer);
    double_click(list, 0);
    QCoreApplication::processEvents();
    QCOMPARE(viewers, 1);
}

void BrowserTest::input_queued_during_a_load_is_dropped()
{
    WindowFixture f;
    f.write_image("a.mgt", one_file());
    f.open();
    auto* donate = f.window->findChild<QPushButton*>("donateButton");
    const QPointF at = QRectF(donate->rect()).center();
    const QPointF global = donate->mapToGlobal(at);
    QCoreApplication::postEvent(
        donate, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        donate, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    f.pick(f.path("a.mgt"));
    QCoreApplication::processEvents();
    QCOMPARE(f.runner.runs().size(), 0);
    QCOMPARE(f.list()->topLevelItemCount(), 1);
}

void BrowserTest::image_files_are_never_changed()
{
    WindowFixture f;
    QStringList images;
    for (const auto& source : testing_support::real_images()) {
        const QString copy = f.path(QString::fromStdString(source.filename().string()));
        QVERIFY(QFile::copy(QString::fromStdString(source.string()), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        images << copy;
    }
    QVERIFY(images.size() >= 20);
    f.write_image("other.mgt", one_file());
    std::map<QString, std::vector<std::uint8_t>> before;
    for (const QString& image : images)
        before[image] = testing_support::read_file(image.toStdString());

    f.open();
    for (const QString& image : images) {
        f.pick(image);
        f.window->select_all_rows();
        // Only a selection with a file that has a tape form asks for a tape.
        if (std::ranges::any_of(f.window->catalogue(),
                                [](const auto& row) { return image::has_tape_form(row.type_code); })) {
            f.requester.expect("save", f.path("out.tap"));
            if (QFile(f.path("out.tap")).size() > 0)
                f.requester.expect("yesno", "yes");
        }
        f.window->convert_to_tap();
        QTimer::singleShot(0, [&] {
            if (auto* viewer = f.window->findChild<shell::ScreenViewer*>("screenViewer"))
                viewer->close();
        });
        f.window->view_selected_screen();
    }
    f.pick(f.path("other.mgt"));
    f.requester.expect("text", "renamed.mgt");
    f.window->rename_image_file();
    QVERIFY(QFile::exists(f.path("renamed.mgt")));
    QVERIFY2(f.requester.unexpected().isEmpty(), qPrintable(f.requester.unexpected().join(',')));

    for (const QString& image : images)
        QVERIFY2(testing_support::read_file(image.toStdString()) == before[image], qPrintable(image));
}

QTEST_MAIN(BrowserTest)
#include "browser_test.moc"
