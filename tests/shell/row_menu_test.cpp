// The list's context menu and the window's newer ways in: which entries apply to which row, export, the BASIC
// listing, snapshots, a new image from tapes (from the browser's menu), a dropped image, and the Return and
// Delete keys. What the window writes is compared with what kestrel-cli writes from the same image.
#include "window_fixture.h"

#include "cli/cli_test_util.h"
#include "shell/basic_window.h"
#include "shell/screen_viewer.h"
#include "tape/tap_writer.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStatusBar>

using testing_support::ImageBuilder;
using testing_support::PopupWatcher;
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

// Rows 0-4: a BASIC loader with a disc LOAD, a screen, ZX code, SAM code over two pages, a 48K snapshot.
struct Files
{
    std::vector<std::uint8_t> loader = {0x00, 0x0A, 0x0E, 0x00, 0xEF, 0x64, 0x31, 0x0E, 0x00, 0x00,
                                        0x01, 0x00, 0x00, 0x22, 'g',  'a',  'm',  'e',  0x22, 0x0D};
    std::vector<std::uint8_t> code = pattern(1000, 5);
    std::vector<std::uint8_t> sam = pattern(40000, 9);

    void write(WindowFixture& f) const
    {
        ImageBuilder b;
        b.add_zx_file(0, 1, "loader", loader, 0, 10, static_cast<std::uint16_t>(loader.size()));
        b.add_zx_file(1, 7, "screen", std::vector<std::uint8_t>(6912, 0x38), 16384);
        b.add_zx_file(2, 4, "code", code, 32768);
        b.add_sam_file(3, 19, "samcode", sam);
        testing_support::SnapRegisters regs;
        regs.sp = 0x8000;
        regs.pc = 0x6000;
        b.add_plusd_snapshot(4, "snap", testing_support::plusd_snapshot_file(regs, pattern(49152, 1)));
        f.write_image("d.mgt", b);
        f.open();
        f.pick(f.path("d.mgt"));
    }
};

// Opens the list's menu on `row` as a right click does and chooses `label` ("": none). Returns the entries, a
// greyed-out one in brackets.
QStringList row_menu(WindowFixture& f, int row, const QString& label = {})
{
    QStringList entries;
    PopupWatcher watcher([&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
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

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

} // namespace

class RowMenuTest : public QObject
{
    Q_OBJECT
private slots:
    void entries_apply_by_row();
    void export_writes_zx_and_sam_data_as_kestrel_cli_does();
    void list_basic_follows_the_loader_rewrite();
    void save_as_snapshot_writes_what_kestrel_cli_snap_writes();
    void new_image_from_tapes_is_selected_and_listed();
    void dropped_image_is_selected_and_listed_anything_else_refused();
    void return_views_the_row_and_delete_asks_first();
};

void RowMenuTest::entries_apply_by_row()
{
    WindowFixture f;
    Files().write(f);
    const QStringList expected[] = {
        {"(View Screen)", "Convert to TAP", "List BASIC", EXPORT, "(" + SNAPSHOT + ")"},
        {"View Screen", "Convert to TAP", "(List BASIC)", EXPORT, "(" + SNAPSHOT + ")"},
        {"(View Screen)", "Convert to TAP", "(List BASIC)", EXPORT, "(" + SNAPSHOT + ")"},
        {"(View Screen)", "(Convert to TAP)", "(List BASIC)", EXPORT, "(" + SNAPSHOT + ")"},
        {"(View Screen)", "(Convert to TAP)", "(List BASIC)", "(" + EXPORT + ")", SNAPSHOT},
    };
    for (int row = 0; row < 5; ++row)
        QCOMPARE(row_menu(f, row), expected[row]);
}

void RowMenuTest::export_writes_zx_and_sam_data_as_kestrel_cli_does()
{
    WindowFixture f;
    const Files files;
    files.write(f);
    const std::pair<int, const std::vector<std::uint8_t>*> rows[] = {{2, &files.code}, {3, &files.sam}};
    for (const auto& [row, data] : rows) {
        const QString out = f.path(QString("row%1.bin").arg(row));
        f.requester.expect("save", out);
        row_menu(f, row, EXPORT);
        QVERIFY(testing_support::read_file(out.toStdString()) == *data);
        const std::string cli_out = out.toStdString() + ".cli";
        QCOMPARE(testing_support::run_cli(
                     {"export", f.path("d.mgt").toStdString(), "--slot", std::to_string(row), "-o", cli_out})
                     .code,
                 0);
        QVERIFY(testing_support::read_file(cli_out) == *data);
    }
    QCOMPARE(f.requester.asked().value(1).text, f.path("samcode"));
    QCOMPARE(status_text(f), QString("samcode exported to %1 (40000 bytes)").arg(f.path("row3.bin")));
}

void RowMenuTest::list_basic_follows_the_loader_rewrite()
{
    for (const int strip : {0, 1}) {
        WindowFixture f;
        f.settings.BasStrip = strip;
        Files().write(f);
        QString title, text;
        // The listing opens once the menu has closed.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* window = f.window->findChild<shell::BasicWindow*>("basicWindow")) {
                poll.stop();
                title = window->windowTitle();
                text = window->findChild<QPlainTextEdit*>("basicText")->toPlainText();
                window->close();
            }
        });
        poll.start(10);
        row_menu(f, 0, "List BASIC");
        std::vector<std::string> args = {"basic", f.path("d.mgt").toStdString(), "--slot", "0"};
        if (strip)
            args.push_back("--rewrite");
        const auto cli = testing_support::run_cli(args);
        QCOMPARE(title, QString("loader"));
        QCOMPARE(text + "\n", QString::fromStdString(cli.out));
        QCOMPARE(text.contains("d1"), strip == 0);
    }
}

void RowMenuTest::save_as_snapshot_writes_what_kestrel_cli_snap_writes()
{
    WindowFixture f;
    Files().write(f);
    for (const QString name : {"game.z80", "game.sna"}) {
        f.requester.expect("save", f.path(name));
        row_menu(f, 4, SNAPSHOT);
        const std::string reference = f.path("cli-" + name).toStdString();
        QCOMPARE(testing_support::run_cli({"snap", f.path("d.mgt").toStdString(), "--slot", "4", "-o", reference}).code,
                 0);
        QVERIFY(testing_support::read_file(f.path(name).toStdString()) == testing_support::read_file(reference));
    }
    QCOMPARE(f.requester.asked().value(0).text, f.path("snap.z80"));
    // A name of another kind is refused with the reason and writes nothing.
    f.requester.expect("save", f.path("game.bin"));
    row_menu(f, 4, SNAPSHOT);
    QCOMPARE(status_text(f), QString("game.bin: a snapshot is saved as .z80 or .sna"));
    QVERIFY(!QFile::exists(f.path("game.bin")));
}

void RowMenuTest::new_image_from_tapes_is_selected_and_listed()
{
    WindowFixture f;
    f.write_image("old.mgt", ImageBuilder());
    tape::TapeHeader header{};
    header[tape::header::TYPE] = tape::TAPE_BYTES;
    std::copy_n("hello     ", 10, header.begin() + tape::header::NAME);
    header[tape::header::LENGTH] = 100;
    header[tape::header::PARAM1 + 1] = 0x80;
    std::vector<std::uint8_t> tap;
    tape::write_tap_blocks(tap, header, pattern(100, 3));
    testing_support::write_file(f.path("tape one.tap").toStdString(), tap);
    f.open();
    f.pick(f.path("old.mgt"));
    f.requester.expect("open files", f.path("tape one.tap"));
    f.requester.expect("save", f.path("new.img"));
    PopupWatcher watcher([](QMenu* menu) {
        menu->actions().value(2)->trigger();
        menu->close();
    });
    const QPoint at = f.browser()->visualRect(f.browser()->file_model()->index(f.path("old.mgt"))).center();
    QTest::mouseClick(f.browser()->viewport(), Qt::RightButton, {}, at);
    QCOMPARE(f.requester.asked().value(1).text, f.path("tape one.mgt"));
    QCOMPARE(f.browser()->selected_path(), f.path("new.img"));
    QCOMPARE(f.list()->topLevelItemCount(), 1);
    QCOMPARE(f.list()->topLevelItem(0)->text(0), QString("hello     "));
    QCOMPARE(f.list()->topLevelItem(0)->text(2), QString("100"));
    QCOMPARE(f.pane_lines().value(1), "On image " + f.path("new.img") + " no errors has been found. 1 files found");
    QCOMPARE(status_text(f), f.path("new.img") + " made: 1 files from 1 tapes");
}

void RowMenuTest::dropped_image_is_selected_and_listed_anything_else_refused()
{
    WindowFixture f;
    QDir(f.folder()).mkdir("sub");
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", pattern(10, 1));
    f.write_image("sub/dropped.dsk", b);
    testing_support::write_file(f.path("notes.txt").toStdString(), std::vector<std::uint8_t>{'x'});
    f.open();
    QVERIFY(f.window->acceptDrops());
    // As the window system delivers a drop onto a control: the drag enters (the first widget up from the control
    // that takes drops becomes the target), then drops.
    const auto drop = [&](QWidget* onto, const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(onto, &enter);
        QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(onto, &event);
        return enter.isAccepted() && event.isAccepted();
    };
    QVERIFY(drop(f.pane()->viewport(), {QUrl::fromLocalFile(f.path("sub/dropped.dsk"))}));
    QCOMPARE(f.browser()->selected_path(), f.path("sub/dropped.dsk"));
    QCOMPARE(QString::fromStdString(f.settings.Currentdir), f.path("sub") + "/");
    QCOMPARE(f.list()->topLevelItemCount(), 1);
    QCOMPARE(f.pane_lines().value(0), "Scanning file: " + f.path("sub/dropped") + " ...");

    const std::pair<QList<QUrl>, QString> refused[] = {
        {{QUrl::fromLocalFile(f.path("notes.txt"))},
         "notes.txt: not a disc image (the name must end in .mgt, .dsk or .img)"},
        {{QUrl::fromLocalFile(f.path("sub"))}, "sub is a folder, not a disc image"},
        {{QUrl("https://example.org/a.mgt")}, "Only a disc image file (.mgt, .dsk, .img) can be dropped here"},
    };
    for (const auto& [urls, reason] : refused) {
        drop(f.list()->viewport(), urls);
        QCOMPARE(status_text(f), reason);
        QCOMPARE(f.browser()->selected_path(), f.path("sub/dropped.dsk"));
        QCOMPARE(f.list()->topLevelItemCount(), 1);
    }
}

void RowMenuTest::return_views_the_row_and_delete_asks_first()
{
    WindowFixture f;
    Files().write(f);
    bool viewed = false;
    QTimer::singleShot(0, [&] {
        if (auto* viewer = f.window->findChild<shell::ScreenViewer*>("screenViewer")) {
            viewed = true;
            viewer->close();
        }
    });
    f.list()->setCurrentItem(f.list()->topLevelItem(1));
    QTest::keyClick(f.list(), Qt::Key_Return);
    QVERIFY(viewed);

    f.requester.expect("yesno", "no");
    QTest::keyClick(f.browser(), Qt::Key_Delete);
    QCOMPARE(f.requester.asked().value(0).text, "Deleting " + f.path("d.mgt"));
    QVERIFY(QFile::exists(f.path("d.mgt")));
}

QTEST_MAIN(RowMenuTest)
#include "row_menu_test.moc"
