// The window by keyboard alone, and the words of its questions: the keys of the list and the folder tree, undo and
// redo, the About box, and the requesters the edits and the conversion open.
#include "window_fixture.h"

#include "common/version.h"
#include "shell/input_requester.h"
#include "shell/screen_viewer.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

using Bytes = std::vector<std::uint8_t>;
using testing_support::ImageBuilder;
using testing_support::PopupWatcher;
using testing_support::WhenShown;
using testing_support::WindowFixture;

namespace {

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

// GAME.mgt, listed: code, a screen and a BASIC program (10 PRINT).
void open_game(WindowFixture& f)
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(100, 7), 32768);
    b.add_zx_file(1, 7, "screen", Bytes(6912, 0x38), 16384);
    b.add_zx_file(2, 1, "prog", Bytes{0x00, 0x0A, 0x02, 0x00, 0xF5, 0x0D}, 0, 0x8000, 6);
    f.write_image("GAME.mgt", b);
    f.open();
    f.pick(f.path("GAME.mgt"));
}

// The entries of the menu a key opens, the disabled ones in brackets; the menu is closed without a choice.
QStringList menu_of_key(QWidget* widget, Qt::Key key)
{
    QStringList items;
    PopupWatcher watcher([&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->isVisible() && !action->isSeparator())
                items << (action->isEnabled() ? action->text() : "(" + action->text() + ")");
        }
        menu->close();
    });
    QTest::keyClick(widget, key);
    return items;
}

} // namespace

class WindowKeysTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void return_opens_what_the_row_holds();
    void tab_selects_the_current_row_and_delete_asks_no_first();
    void menu_key_and_insert_reach_the_row_commands();
    void redo_writes_again_what_undo_took_back();
    void folder_tree_keys_and_f1();
    void code_start_is_asked_within_the_range_that_fits();
    void refusals_say_each_thing_once();
    void convert_proposes_the_images_folder();
    void a_long_prompt_wraps_inside_the_requester();
    void zoom_fits_the_screen();
};

void WindowKeysTest::return_opens_what_the_row_holds()
{
    WindowFixture f;
    open_game(f);
    const struct
    {
        int row;
        const char* window;
        QString status;
    } cases[] = {
        {1, "screenViewer", ""},
        {2, "basicWindow", ""},
        {0, nullptr, "code is 100 bytes long, not a 6,912-byte screen"},
    };
    for (const auto& c : cases) {
        QString opened;
        std::optional<WhenShown> watch;
        if (c.window)
            watch.emplace(f, c.window, [&](QWidget& window) { opened = window.objectName(); });
        f.list()->setCurrentItem(f.list()->topLevelItem(c.row));
        QTest::keyClick(f.list(), Qt::Key_Return);
        QCOMPARE(opened, QString(c.window ? c.window : ""));
        QCOMPARE(status_text(f), c.status);
    }
}

void WindowKeysTest::tab_selects_the_current_row_and_delete_asks_no_first()
{
    WindowFixture f;
    open_game(f);
    const auto original = testing_support::read_file(f.path("GAME.mgt").toStdString());
    // Offscreen windows are never active, so the focus change Tab makes is sent as it would arrive.
    QCOMPARE(f.list()->selectedItems().size(), 0);
    QFocusEvent tab(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(f.list(), &tab);
    QCOMPARE(f.list()->selectedItems().value(0), f.list()->topLevelItem(0));

    f.requester.expect("yesno", "no");
    QTest::keyClick(f.list(), Qt::Key_Delete);
    QCOMPARE(f.requester.asked().value(0).text, QString("Delete code from GAME.mgt?"));
    QCOMPARE(f.requester.asked().value(0).extra, QString("preset No"));
    QVERIFY(testing_support::read_file(f.path("GAME.mgt").toStdString()) == original);
}

void WindowKeysTest::menu_key_and_insert_reach_the_row_commands()
{
    WindowFixture f;
    testing_support::write_file(f.path("more.bin").toStdString(), Bytes(50, 1));
    open_game(f);
    f.requester.expect("open files", f.path("more.bin"));
    f.requester.expect("choice", "ZX Code");
    f.requester.expect("text", "40000");
    f.list()->setCurrentItem(f.list()->topLevelItem(0));
    QTest::keyClick(f.list(), Qt::Key_Insert);
    QCOMPARE(f.requester.asked().value(0).title, QString("Add files to GAME.mgt"));
    QCOMPARE(f.list()->topLevelItemCount(), 4);

    // After the add is undone, a row is still current: the menu key offers the row's commands.
    QTest::keyClick(f.list(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(f.list()->topLevelItemCount(), 3);
    const QStringList items = menu_of_key(f.list(), Qt::Key_Menu);
    QCOMPARE(items.value(0), QString("(View Screen)"));
    QCOMPARE(items.value(2), QString("List BASIC"));
    QCOMPARE(items.mid(items.size() - 3),
             QStringList({QString::fromUtf8("Add files\u2026"), "(Undo)", "Redo: added 1 file to GAME.mgt"}));
}

void WindowKeysTest::redo_writes_again_what_undo_took_back()
{
    WindowFixture f;
    open_game(f);
    const auto original = testing_support::read_file(f.path("GAME.mgt").toStdString());
    f.window->toggle_flag(f.window->catalogue().front(), true);
    const auto hidden = testing_support::read_file(f.path("GAME.mgt").toStdString());
    for (const auto modifiers : {Qt::ControlModifier | Qt::ShiftModifier, Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        QTest::keyClick(f.list(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(testing_support::read_file(f.path("GAME.mgt").toStdString()) == original);
        QTest::keyClick(f.list(), modifiers == Qt::ControlModifier ? Qt::Key_Y : Qt::Key_Z, modifiers);
        QVERIFY(testing_support::read_file(f.path("GAME.mgt").toStdString()) == hidden);
        QCOMPARE(status_text(f), QString("Redone: made code hidden in GAME.mgt; Control+Z undoes it"));
    }
    // A new edit after an undo leaves nothing to redo.
    QTest::keyClick(f.list(), Qt::Key_Z, Qt::ControlModifier);
    f.window->toggle_flag(f.window->catalogue().front(), false);
    QTest::keyClick(f.list(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(status_text(f), QString("Nothing to redo"));
}

void WindowKeysTest::folder_tree_keys_and_f1()
{
    WindowFixture f;
    open_game(f);
    f.requester.expect("text", "");
    QTest::keyClick(f.browser(), Qt::Key_F2);
    QCOMPARE(f.requester.asked().value(0).title, QString("Rename file"));
    QCOMPARE(menu_of_key(f.browser(), Qt::Key_Menu),
             QStringList({"Rename file", "Delete file", QString::fromUtf8("New image from tapes\u2026"),
                          QString::fromUtf8("About Kestrel\u2026")}));
    f.requester.expect("yesno", "no");
    QTest::keyClick(f.browser(), Qt::Key_Delete);
    QCOMPARE(f.requester.asked().value(1).extra, QString("preset No"));
    QVERIFY(QFile::exists(f.path("GAME.mgt")));

    f.requester.expect("message", "");
    QTest::keyClick(f.browser(), Qt::Key_F1);
    const QString about = f.requester.asked().value(2).text;
    QCOMPARE(f.requester.asked().value(2).title, QString("About Kestrel"));
    QVERIFY(about.startsWith(QString("Kestrel ") + common::VERSION + "\n"));
    QVERIFY(about.contains("has not been published under a licence"));
    QVERIFY(about.endsWith("The manual is the README: " + shell::readme_path()) && !shell::readme_path().isEmpty());
}

void WindowKeysTest::code_start_is_asked_within_the_range_that_fits()
{
    const struct
    {
        const char* kind;
        const char* prompt;
        const char* refused; // below the range, or running past its end
        const char* taken;
        const char* start_cell;
    } cases[] = {
        {"ZX Code", "Start address of tune.bin (1,000 bytes) as ZX Code, from 0 to 64536:", "64537", "64536", "64536"},
        {"SAM Code", "Start address of tune.bin (1,000 bytes) as SAM Code, from 16384 to 523288:", "0", "0x4000",
         "16384"},
    };
    for (const auto& c : cases) {
        WindowFixture f;
        testing_support::write_file(f.path("tune.bin").toStdString(), Bytes(1000, 1));
        open_game(f);
        f.requester.expect("choice", c.kind);
        f.requester.expect("text", c.refused);
        f.requester.expect("message", "");
        f.requester.expect("text", c.taken);
        f.window->add_host_files({f.path("tune.bin")}, false);
        QCOMPARE(f.requester.asked().value(1).text, QString(c.prompt));
        QVERIFY(f.requester.asked().value(2).text.startsWith(QString(c.refused) + " is not a start address from "));
        QCOMPARE(f.list()->selectedItems().value(0)->text(1), QString(c.start_cell));
    }
}

void WindowKeysTest::refusals_say_each_thing_once()
{
    WindowFixture f;
    testing_support::write_file(f.path("junk.z80").toStdString(), Bytes(10, 0));
    open_game(f);
    f.window->add_host_files({f.path("junk.z80")}, false);
    QVERIFY(status_text(f).startsWith("Nothing added to GAME.mgt: " + f.path("junk.z80") + ": "));
    QCOMPARE(status_text(f).count("junk.z80"), 1);

    f.requester.expect("text", "screen");
    f.window->rename_in_image(f.window->catalogue().front());
    QVERIFY(status_text(f).startsWith("GAME.mgt: the name "));
    QCOMPARE(status_text(f).count("nothing changed"), 1);
}

void WindowKeysTest::convert_proposes_the_images_folder()
{
    WindowFixture f;
    f.settings.savefile = "/nowhere/else/last.tap";
    open_game(f);
    f.list()->topLevelItem(0)->setSelected(true);
    f.requester.expect("save", "");
    f.window->convert_to_tap();
    QCOMPARE(f.requester.asked().value(0).text, f.path("last.tap"));
}

void WindowKeysTest::a_long_prompt_wraps_inside_the_requester()
{
    WindowFixture f;
    shell::InputRequester requester(
        "Start address",
        "Start address of a_long_file_name.bin (100,000 bytes) as SAM Code, from 16384 to 424288:", "32768", nullptr);
    const auto* prompt = requester.findChild<QLabel*>("inputPrompt");
    const auto* field = requester.findChild<QLineEdit*>("inputField");
    QVERIFY(prompt->heightForWidth(prompt->width()) > prompt->fontMetrics().height()); // it takes two lines
    QVERIFY(prompt->heightForWidth(prompt->width()) <= prompt->height());
    QVERIFY(field->geometry().top() >= prompt->geometry().bottom());
    for (const auto* button : requester.findChildren<QPushButton*>())
        QVERIFY(requester.rect().contains(button->geometry()));
}

void WindowKeysTest::zoom_fits_the_screen()
{
    const struct
    {
        QSize picture;
        QSize available;
        int zoom;
    } cases[] = {
        {{512, 192}, {1280, 1000}, 2}, {{256, 192}, {1280, 1000}, 4}, {{256, 192}, {1024, 700}, 3},
        {{512, 192}, {400, 300}, 1},   {{256, 192}, {4000, 4000}, 4},
    };
    for (const auto& c : cases)
        QCOMPARE(shell::fitting_zoom(c.picture, c.available), c.zoom);
}

QTEST_MAIN(WindowKeysTest)
#include "window_keys_test.moc"
