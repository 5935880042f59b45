// The window's newer commands as a user reaches them: the list's row menu (which entries apply to which row,
// export, the BASIC listing, snapshots), the screen viewer's keys, a new image from tapes, a dropped image, and
// the Return and Delete keys. What the window writes is compared with what kestrel-cli writes from the same image.
#include "window_fixture.h"

#include "cli/cli_test_util.h"
#include "image/image_kinds.h"
#include "shell/save_target.h"
#include "shell/screen_viewer.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMimeData>
#include <QStatusBar>

using testing_support::ImageBuilder;
using testing_support::PopupWatcher;
using testing_support::run_cli;
using testing_support::WhenShown;
using testing_support::WindowFixture;

namespace {

const QString EXPORT = QString::fromUtf8("Export file\u2026");
const QString SNAPSHOT = QString::fromUtf8("Save as snapshot\u2026");

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 13);
    return bytes;
}

const std::vector<std::uint8_t> CODE = pattern(1000, 5);
const std::vector<std::uint8_t> SAM = pattern(40000, 9); // over two 16 KiB pages

// d.mgt, listed. Rows 0-4: a BASIC loader with a disc LOAD, a screen (only its top-left pixel set, black on
// white), ZX code, SAM code, a 48K snapshot.
void open_files(WindowFixture& f)
{
    ImageBuilder b;
    const std::vector<std::uint8_t> loader = {0x00, 0x0A, 0x0E, 0x00, 0xEF, 0x64, 0x31, 0x0E, 0x00, 0x00,
                                              0x01, 0x00, 0x00, 0x22, 'g',  'a',  'm',  'e',  0x22, 0x0D};
    b.add_zx_file(0, 1, "loader", loader, 0, 10, static_cast<std::uint16_t>(loader.size()));
    std::vector<std::uint8_t> screen(6912, 0x00);
    std::fill(screen.begin() + 6144, screen.end(), std::uint8_t{0x38});
    screen[0] = 0x80;
    b.add_zx_file(1, 7, "screen", screen, 16384);
    b.add_zx_file(2, 4, "code", CODE, 32768);
    b.add_sam_file(3, 19, "samcode", SAM);
    testing_support::SnapRegisters regs;
    regs.sp = 0x8000;
    b.add_plusd_snapshot(4, "snap", testing_support::plusd_snapshot_file(regs, pattern(49152, 1)));
    f.write_image("d.mgt", b);
    f.open();
    f.pick(f.path("d.mgt"));
}

// Opens the row menu on `row` as a right click does and chooses `label` ("": none). Returns the entries, a
// greyed-out one in brackets.
QStringList row_menu(WindowFixture& f, int row, const QString& label = {})
{
    QStringList entries;
    PopupWatcher watcher([&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            entries << (action->isEnabled() ? action->text() : "(" + action->text() + ")");
            if (action->text() == label)
                action->trigger();
        }
        menu->close();
    });
    QTreeWidget* list = f.list();
    list->setCurrentItem(list->topLevelItem(row));
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    return entries;
}

// Copies a real SAM disc of the test images into the fixture's folder and lists it.
void open_real(WindowFixture& f, const std::string& name)
{
    std::filesystem::copy_file(testing_support::real_images_dir() / "sam" / name,
                               f.path(QString::fromStdString(name)).toStdString());
    f.open();
    f.pick(f.path(QString::fromStdString(name)));
}

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

std::vector<std::uint8_t> read(const QString& path)
{
    return testing_support::read_file(path.toStdString());
}

} // namespace

class WindowCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void every_image_form_is_dropped_and_never_replaced();
    void row_menu_entries_apply_by_row();
    void export_writes_zx_and_sam_data();
    void cut_chain_is_said_in_the_status_bar();
    void list_basic_follows_the_loader_rewrite();
    void save_as_snapshot_writes_what_kestrel_cli_snap_writes();
    void viewer_opened_by_return_saves_copies_and_zooms();
    void sam_screen_is_viewed_at_its_mode_size();
    void list_basic_lists_sam_basic();
    void new_image_from_tapes_is_selected_and_listed();
    void dropped_image_is_listed_anything_else_refused_and_delete_asks();
};

void WindowCommandsTest::row_menu_entries_apply_by_row()
{
    WindowFixture f;
    open_files(f);
    const QString view = "View Screen", tap = "Convert to TAP", basic = "List BASIC";
    const auto off = [](const QString& entry) {
        return "(" + entry + ")";
    };
    const QStringList expected[] = {
        {off(view), tap, basic, EXPORT, off(SNAPSHOT)},
        {view, tap, off(basic), EXPORT, off(SNAPSHOT)},
        {off(view), tap, off(basic), EXPORT, off(SNAPSHOT)},
        {off(view), off(tap), off(basic), EXPORT, off(SNAPSHOT)},
        {off(view), off(tap), off(basic), off(EXPORT), SNAPSHOT},
    };
    // The edits apply to every row; the image's own entries follow.
    const QStringList edits = {"Delete from image", QString::fromUtf8("Rename in image\u2026"), "Hidden",
                               "Protected",         QString::fromUtf8("Add files\u2026"),       off("Undo"),
                               off("Redo")};
    for (int row = 0; row < 5; ++row)
        QCOMPARE(row_menu(f, row), expected[row] + edits);
}

void WindowCommandsTest::export_writes_zx_and_sam_data()
{
    WindowFixture f;
    open_files(f);
    f.requester.expect("save", f.path("code.bin"));
    row_menu(f, 2, EXPORT);
    f.requester.expect("save", f.path("sam.bin"));
    row_menu(f, 3, EXPORT);
    QVERIFY(read(f.path("code.bin")) == CODE);
    QVERIFY(read(f.path("sam.bin")) == SAM);
    QCOMPARE(f.requester.asked().value(1).text, f.path("samcode"));
    QCOMPARE(status_text(f), "samcode exported to " + f.path("sam.bin") + " (40000 bytes)");
}

void WindowCommandsTest::cut_chain_is_said_in_the_status_bar()
{
    WindowFixture f;
    ImageBuilder b;
    const auto chain = b.add_zx_file(0, 4, "cut", CODE, 32768); // two sectors, cut after the first
    b.link(chain[0], {0, 0});
    f.write_image("cut.mgt", b);
    f.open();
    f.pick(f.path("cut.mgt"));
    const QString warning = "; the chain ends after 1 of 2 sectors; 499 bytes are zeros";
    f.requester.expect("save", f.path("cut.bin"));
    row_menu(f, 0, EXPORT);
    QCOMPARE(status_text(f), "cut exported to " + f.path("cut.bin") + " (1,000 bytes)" + warning);
    f.window->select_all_rows();
    f.requester.expect("save", f.path("cut.tap"));
    f.window->convert_to_tap();
    QCOMPARE(status_text(f), "1 of 1 files written to " + f.path("cut.tap") + "; cut: " + warning.mid(2));
}

void WindowCommandsTest::list_basic_follows_the_loader_rewrite()
{
    for (const int strip : {0, 1}) {
        WindowFixture f;
        f.settings.BasStrip = strip;
        open_files(f);
        QString title, text;
        WhenShown listing(f, "basicWindow", [&](QWidget& window) {
            title = window.windowTitle();
            text = window.findChild<QPlainTextEdit*>("basicText")->toPlainText();
        });
        row_menu(f, 0, "List BASIC");
        std::vector<std::string> args = {"basic", f.path("d.mgt").toStdString(), "--slot", "0"};
        if (strip)
            args.push_back("--rewrite");
        QCOMPARE(title, QString("loader - ZX BASIC"));
        QCOMPARE(text + "\n", QString::fromStdString(run_cli(args).out));
        QCOMPARE(text.contains("d1"), strip == 0);
    }
}

void WindowCommandsTest::save_as_snapshot_writes_what_kestrel_cli_snap_writes()
{
    WindowFixture f;
    open_files(f);
    f.requester.expect("save", f.path("game.sna"));
    row_menu(f, 4, SNAPSHOT);
    QCOMPARE(f.requester.asked().value(0).text, f.path("snap.z80"));
    QCOMPARE(f.requester.asked().value(0).extra, QString("Z80 Snapshots|*.z80|SNA Snapshots|*.sna"));
    QCOMPARE(
        run_cli({"snap", f.path("d.mgt").toStdString(), "--slot", "4", "-o", f.path("cli.sna").toStdString()}).code, 0);
    QVERIFY(read(f.path("game.sna")) == read(f.path("cli.sna")));
}

void WindowCommandsTest::viewer_opened_by_return_saves_copies_and_zooms()
{
    WindowFixture f;
    open_files(f);
    f.requester.expect("save", f.path("saved.png"));
    QGuiApplication::clipboard()->clear();
    QImage shown, at_2x;
    QList<QSize> sizes;
    WhenShown viewing(f, "screenViewer", [&](QWidget& window) {
        auto& viewer = static_cast<shell::ScreenViewer&>(window);
        shown = viewer.image();
        QTest::keyClick(&viewer, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(&viewer, Qt::Key_C, Qt::ControlModifier);
        // Plus is Shift+= on most keyboards; steps up stop at 3x, the largest that fits the offscreen platform's
        // 800 x 800 screen, steps down at 1x.
        QTest::keyClick(&viewer, Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
        at_2x = viewer.grab().toImage();
        for (int step = 0; step < 7; ++step) {
            sizes << viewer.size();
            QTest::keyClick(&viewer, step < 3 ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier);
        }
        sizes << viewer.size();
    });
    f.list()->setCurrentItem(f.list()->topLevelItem(1));
    QTest::keyClick(f.list(), Qt::Key_Return);

    QCOMPARE(f.requester.asked().value(0).text, f.path("screen.png"));
    QCOMPARE(
        run_cli({"screen", f.path("d.mgt").toStdString(), "--slot", "1", "-o", f.path("cli.png").toStdString()}).code,
        0);
    QVERIFY(read(f.path("saved.png")) == read(f.path("cli.png")));
    QCOMPARE(status_text(f), "Screen saved to " + f.path("saved.png"));
    QCOMPARE(QGuiApplication::clipboard()->image(), shown);
    QCOMPARE(f.window->screen()->availableGeometry().size(), QSize(800, 800));
    const QList<QSize> expected = {{512, 384}, {768, 576}, {768, 576}, {768, 576},
                                   {512, 384}, {256, 192}, {256, 192}, {256, 192}};
    QCOMPARE(sizes, expected);
    // Nearest neighbour: the set pixel becomes a sharp 2 x 2 block.
    QCOMPARE(at_2x.size(), QSize(512, 384));
    QCOMPARE(at_2x.pixel(1, 1) & 0xFFFFFF, 0x040204u);
    QCOMPARE(at_2x.pixel(2, 1) & 0xFFFFFF, 0xCCC6CCu);
}

void WindowCommandsTest::sam_screen_is_viewed_at_its_mode_size()
{
    // A MODE 3 screen (entry byte 221 holds 2) and one too short for its mode.
    ImageBuilder b;
    std::vector<std::uint8_t> wide = pattern(24576 + 40, 3);
    wide.push_back(0xFF);
    b.add_sam_file(0, 20, "wide", wide);
    b.entry_bytes(0)[221] = 2;
    b.add_sam_file(1, 20, "short", pattern(1000, 3));
    b.entry_bytes(1)[221] = 2;
    const auto cut = b.add_sam_file(2, 20, "cut", wide);
    b.entry_bytes(2)[221] = 2;
    b.link(cut[0], {0, 0});
    struct Case
    {
        std::string image;
        QSize size;
    };
    for (const Case& c : {Case{"wide.mgt", {512, 192}}, Case{"sam_screen_mode4.mgt", {256, 192}}}) {
        WindowFixture f;
        if (c.image == "wide.mgt") {
            f.write_image("wide.mgt", b);
            f.open();
            f.pick(f.path("wide.mgt"));
        } else {
            open_real(f, c.image);
        }
        QCOMPARE(row_menu(f, 0).value(0), QString("View Screen"));
        f.requester.expect("save", f.path("saved.png"));
        QSize shown, window;
        WhenShown viewing(f, "screenViewer", [&](QWidget& w) {
            shown = static_cast<shell::ScreenViewer&>(w).image().size();
            window = w.size();
            QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        });
        f.list()->setCurrentItem(f.list()->topLevelItem(0));
        QTest::keyClick(f.list(), Qt::Key_Return);
        QCOMPARE(shown, c.size);
        QCOMPARE(window, c.size);
        const std::string image = f.path(QString::fromStdString(c.image)).toStdString();
        QCOMPARE(run_cli({"screen", image, "--slot", "0", "-o", f.path("cli.png").toStdString()}).code, 0);
        QVERIFY(!read(f.path("saved.png")).empty());
        QVERIFY(read(f.path("saved.png")) == read(f.path("cli.png")));
        if (c.image != "wide.mgt")
            continue;
        // The short one gives its reason and opens nothing.
        bool opened = false;
        WhenShown never(f, "screenViewer", [&](QWidget&) { opened = true; });
        row_menu(f, 1, "View Screen");
        QCoreApplication::processEvents();
        QVERIFY(!opened);
        QVERIFY2(status_text(f).startsWith("short: not a SAM screen: "), qPrintable(status_text(f)));
        // One whose chain ends early is shown, and the status bar says what is missing.
        WhenShown closing(f, "screenViewer", [](QWidget&) {});
        row_menu(f, 2, "View Screen");
        QVERIFY2(status_text(f).startsWith("cut: the chain ends after 1 of 49 sectors"), qPrintable(status_text(f)));
    }
}

void WindowCommandsTest::list_basic_lists_sam_basic()
{
    WindowFixture f;
    f.settings.BasStrip = 1; // a ZX matter: a SAM program is listed as it is
    open_real(f, "sam_basic_auto.mgt");
    QString title, text;
    WhenShown listing(f, "basicWindow", [&](QWidget& window) {
        title = window.windowTitle();
        text = window.findChild<QPlainTextEdit*>("basicText")->toPlainText();
    });
    QCOMPARE(row_menu(f, 0).value(2), QString("List BASIC"));
    row_menu(f, 0, "List BASIC");
    QCOMPARE(title, QString("basic_auto - SAM BASIC"));
    QCOMPARE(text.split('\n').value(0), QString("   10 PRINT \"Hello world!\""));
    QCOMPARE(text + "\n",
             QString::fromStdString(run_cli({"basic", f.path("sam_basic_auto.mgt").toStdString(), "--slot", "0"}).out));
}

void WindowCommandsTest::new_image_from_tapes_is_selected_and_listed()
{
    WindowFixture f;
    f.write_image("old.mgt", ImageBuilder());
    f.open();
    f.pick(f.path("old.mgt"));
    const auto tapes = testing_support::real_images_dir() / "reference-taps";
    f.requester.expect("open files", QString::fromStdString((tapes / "ea5a.f42.tap").string() + "\n" +
                                                            (tapes / "gplusdos-sys-2a.tap").string()));
    f.requester.expect("save", f.path("new.img"));
    PopupWatcher watcher([](QMenu* menu) {
        menu->actions().value(2)->trigger();
        menu->close();
    });
    const QPoint at = f.browser()->visualRect(f.browser()->file_model()->index(f.path("old.mgt"))).center();
    QTest::mouseClick(f.browser()->viewport(), Qt::RightButton, {}, at);
    QCOMPARE(f.requester.asked().value(1).text, f.path("ea5a.f42.mgt"));
    QCOMPARE(f.browser()->selected_path(), f.path("new.img"));
    QCOMPARE(f.list()->topLevelItemCount(), 2);
    QCOMPARE(f.list()->topLevelItem(1)->text(0), QString("+SYS 2a   "));
    QCOMPARE(status_text(f), f.path("new.img") + " made: 2 files from 2 tapes");
}

void WindowCommandsTest::dropped_image_is_listed_anything_else_refused_and_delete_asks()
{
    WindowFixture f;
    QDir(f.folder()).mkdir("sub");
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", CODE);
    f.write_image("sub/dropped.dsk", b);
    testing_support::write_file(f.path("notes.txt").toStdString(), CODE);
    f.open();
    // As the window system delivers a drop onto a control: the drag enters (the first widget up from the control
    // that takes drops becomes the target), then drops.
    const auto drop = [&](QWidget* onto, const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(onto, &enter);
        QDropEvent event(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(onto, &event);
        return enter.isAccepted() && event.isAccepted();
    };
    QVERIFY(drop(f.pane()->viewport(), {QUrl::fromLocalFile(f.path("sub/dropped.dsk"))}));
    QCOMPARE(f.browser()->selected_path(), f.path("sub/dropped.dsk"));
    QCOMPARE(QString::fromStdString(f.settings.Currentdir), f.path("sub") + "/");
    QCOMPARE(f.pane_lines().value(0), "Scanning file: " + f.path("sub/dropped") + " ...");
    // A file that is no image goes onto the listed image, as code: declining leaves the image as it was.
    const auto listed = read(f.path("sub/dropped.dsk"));
    f.requester.expect("choice", "");
    drop(f.list()->viewport(), {QUrl::fromLocalFile(f.path("notes.txt"))});
    QCOMPARE(f.requester.asked().value(0).text, "Add notes.txt to dropped.dsk as:");
    QCOMPARE(status_text(f), QString("Nothing added to dropped.dsk"));
    QVERIFY(read(f.path("sub/dropped.dsk")) == listed);
    drop(f.list()->viewport(), {QUrl("https://example.org/a.mgt")});
    QCOMPARE(status_text(f),
             QString("Only a disc image file (.mgt, .dsk, .img, .sad, .gz or .zip) can be dropped here"));
    QCOMPARE(f.browser()->selected_path(), f.path("sub/dropped.dsk"));

    f.requester.expect("yesno", "no");
    QTest::keyClick(f.browser(), Qt::Key_Delete);
    QVERIFY(f.requester.asked().value(1).text.startsWith("Deleting " + f.path("sub/dropped.dsk") + "\n\n"));
    QVERIFY(QFile::exists(f.path("sub/dropped.dsk")));
}

// Every form of the table of image kinds: a file of it dropped is listed, and a save requester never takes its name.
void WindowCommandsTest::every_image_form_is_dropped_and_never_replaced()
{
    WindowFixture f;
    QDir().mkpath(f.path("forms"));
    for (const image::ImageKind& kind : image::image_kinds()) {
        for (const std::string_view extension : kind.extensions)
            testing_support::write_file(
                (f.path("forms/sample.") + QString::fromStdString(std::string(extension))).toStdString(),
                testing_support::kind_sample(kind.label));
    }
    f.open();
    for (const image::ImageKind& kind : image::image_kinds()) {
        for (const std::string_view extension : kind.extensions) {
            const QString name = "sample." + QString::fromStdString(std::string(extension));
            const QString path = f.path("forms/" + name);
            f.window->open_dropped({QUrl::fromLocalFile(path)});
            QCOMPARE(f.browser()->selected_path(), path);

            testing_support::ScriptedRequester& r = f.requester;
            r.expect("save", path);
            r.expect("message", "");
            r.expect("save", f.path("fresh.tap"));
            QCOMPARE(shell::ask_new_file(r, "Export file", f.path("x"), "TAP Files|*.tap"), f.path("fresh.tap"));
            QCOMPARE(r.asked().value(r.asked().size() - 2).text,
                     name + " is a disc image, and Kestrel never replaces one. Choose a new name.");
        }
    }
}

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
