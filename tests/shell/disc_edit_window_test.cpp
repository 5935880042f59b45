// Editing the listed image from the window: files dropped onto it and added, rows deleted, renamed and flagged from
// the row menu, every edit undone with Control+Z, and a container's edit saved as a new image, the container never
// written.
#include "window_fixture.h"

#include "support/packing.h"
#include "tape/tap_writer.h"

#include <QContextMenuEvent>
#include <QMimeData>
#include <QProcess>
#include <QStatusBar>

#include <filesystem>

using Bytes = std::vector<std::uint8_t>;
using testing_support::ImageBuilder;
using testing_support::PopupWatcher;
using testing_support::WindowFixture;

namespace {

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

std::vector<std::uint8_t> read(const QString& path)
{
    return testing_support::read_file(path.toStdString());
}

// GAME.mgt, listed: a code file and a screen.
void open_game(WindowFixture& f)
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(100, 7), 32768);
    b.add_zx_file(1, 7, "screen", Bytes(6912, 0x38), 16384);
    f.write_image("GAME.mgt", b);
    f.open();
    f.pick(f.path("GAME.mgt"));
}

// A .tap of code files named one, two, three...
void write_tape(const QString& path, const QStringList& names)
{
    std::vector<std::uint8_t> tape;
    for (const QString& name : names) {
        image::TapeHeader header{};
        header[image::tape_header::TYPE] = 3;
        const QByteArray padded = name.toLatin1().leftJustified(10, ' ');
        std::copy(padded.begin(), padded.end(), header.begin() + image::tape_header::NAME.at);
        header[image::tape_header::LENGTH] = 200;
        header[image::tape_header::PARAM1 + 1] = 0x80;
        tape::write_tap_blocks(tape, header, Bytes(200, static_cast<std::uint8_t>(name.size())));
    }
    testing_support::write_file(path.toStdString(), tape);
}

void drop(const WindowFixture& f, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.list()->viewport(), &enter);
    QDropEvent event(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.list()->viewport(), &event);
}

// Opens the row menu on `row` and chooses the entry `label`.
void row_menu(WindowFixture& f, int row, const QString& label)
{
    PopupWatcher watcher([&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->text() == label)
                action->trigger();
        }
        menu->close();
    });
    QTreeWidget* list = f.list();
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
}

// The names of the rows listed, or of those selected.
QStringList names(const WindowFixture& f, bool selected = false)
{
    QStringList names;
    for (int i = 0; i < f.list()->topLevelItemCount(); ++i) {
        if (!selected || f.list()->topLevelItem(i)->isSelected())
            names << f.list()->topLevelItem(i)->text(0).trimmed();
    }
    return names;
}

void undo(const WindowFixture& f)
{
    QTest::keyClick(f.list(), Qt::Key_Z, Qt::ControlModifier);
}

} // namespace

class DiscEditWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void dropped_tapes_are_added_and_their_rows_selected();
    void declined_or_stale_edits_change_nothing();
    void undo_gives_the_image_back_byte_identical();
    void a_container_is_never_written_its_edit_saved_as_new();
    void row_commands_act_on_the_disc_listed();
    void a_moved_or_deleted_image_empties_the_list();
    void an_edit_of_an_image_changed_outside_lists_it_again();
    void a_refused_undo_lists_again_and_goes();
    void undo_is_for_the_listed_image_only();
    void a_protected_file_is_deleted_only_when_the_user_agrees();
    void an_image_chosen_in_a_zip_is_edited_into_a_new_image();
};

void DiscEditWindowTest::dropped_tapes_are_added_and_their_rows_selected()
{
    WindowFixture f;
    write_tape(f.path("more.tap"), {"one", "two"});
    write_tape(f.path("last.tap"), {"three"});
    open_game(f);
    f.requester.expect("yesno", "yes");
    drop(f, {f.path("more.tap"), f.path("last.tap")});
    QCOMPARE(f.requester.asked().value(0).text, QString("Add 3 files to GAME.mgt?"));
    QCOMPARE(names(f), QStringList({"code", "screen", "one", "two", "three"}));
    QCOMPARE(names(f, true), QStringList({"one", "two", "three"}));
    QCOMPARE(status_text(f), QString("Added 3 files to GAME.mgt; Control+Z undoes it"));

    // Any other file is code at the address given; an address out of range is asked again.
    testing_support::write_file(f.path("tune.bin").toStdString(), Bytes(300, 1));
    f.requester.expect("choice", "ZX Code");
    f.requester.expect("text", "70000");
    f.requester.expect("message", "");
    f.requester.expect("text", "0x6000");
    drop(f, {f.path("tune.bin")});
    QCOMPARE(names(f, true), QStringList({"tune"}));
    QCOMPARE(f.list()->selectedItems().value(0)->text(1), QString("24576"));

    // BASIC text is a program of the machine chosen.
    const std::string text = "10 PRINT \"hi\"\n";
    testing_support::write_file(f.path("hello.bas").toStdString(), Bytes(text.begin(), text.end()));
    f.requester.expect("choice", "SAM BASIC");
    drop(f, {f.path("hello.bas")});
    QCOMPARE(names(f, true), QStringList({"hello"}));
    QCOMPARE(f.list()->selectedItems().value(0)->text(4), QString("SAM Basic (16)"));
}

void DiscEditWindowTest::declined_or_stale_edits_change_nothing()
{
    WindowFixture f;
    write_tape(f.path("more.tap"), {"one"});
    open_game(f);
    const auto original = read(f.path("GAME.mgt"));
    f.requester.expect("yesno", "no");
    drop(f, {f.path("more.tap")});
    f.requester.expect("yesno", "no");
    row_menu(f, 0, "Delete from image");
    // The question's Return key answers No.
    QCOMPARE(f.requester.asked().value(1).text, QString("Delete code from GAME.mgt?"));
    QCOMPARE(f.requester.asked().value(1).extra, QString("preset No"));
    QVERIFY(read(f.path("GAME.mgt")) == original);

    // The image changed on disc after it was listed: the row the user chose may be another file now.
    ImageBuilder other;
    other.add_zx_file(0, 4, "other", Bytes(50, 3), 32768);
    f.write_image("GAME.mgt", other);
    const auto changed = read(f.path("GAME.mgt"));
    row_menu(f, 0, "Delete from image");
    QVERIFY(read(f.path("GAME.mgt")) == changed);
    QCOMPARE(status_text(f), QString("GAME.mgt changed since it was listed: listed again, nothing changed"));
    QCOMPARE(names(f), QStringList({"other"}));
}

void DiscEditWindowTest::undo_gives_the_image_back_byte_identical()
{
    WindowFixture f;
    open_game(f);
    const auto original = read(f.path("GAME.mgt"));
    f.requester.expect("text", "titles");
    row_menu(f, 1, QString::fromUtf8("Rename in image\u2026"));
    QCOMPARE(names(f), QStringList({"code", "titles"}));
    row_menu(f, 0, "Hidden");
    QCOMPARE(f.list()->topLevelItem(0)->text(3), QString("H"));
    f.requester.expect("yesno", "yes");
    row_menu(f, 0, "Delete from image");
    QCOMPARE(names(f), QStringList({"titles"}));
    QCOMPARE(status_text(f), QString("Deleted code from GAME.mgt; Control+Z undoes it"));
    QVERIFY(read(f.path("GAME.mgt")) != original);

    undo(f);
    QCOMPARE(status_text(f), QString("Undone: deleted code from GAME.mgt; Control+Z undoes the edit before"));
    QCOMPARE(names(f, true), QStringList({"code"}));
    undo(f);
    undo(f);
    QCOMPARE(status_text(f), QString("Undone: renamed screen to titles in GAME.mgt"));
    QVERIFY(read(f.path("GAME.mgt")) == original);
    QCOMPARE(names(f), QStringList({"code", "screen"}));
    undo(f);
    QCOMPARE(status_text(f), QString("Nothing to undo"));
    QVERIFY(read(f.path("GAME.mgt")) == original);
}

void DiscEditWindowTest::a_container_is_never_written_its_edit_saved_as_new()
{
    WindowFixture f;
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(100, 7), 32768);
    b.add_zx_file(1, 4, "more", Bytes(600, 9), 40000);
    const auto raw = b.bytes();
    testing_support::write_file(f.path("GAME.mgt.gz").toStdString(), testing_support::gzip_bytes(raw));
    const auto packed = read(f.path("GAME.mgt.gz"));
    f.open();
    f.pick(f.path("GAME.mgt.gz"));
    f.requester.expect("yesno", "yes");
    f.requester.expect("save", "");
    row_menu(f, 0, "Delete from image");
    QCOMPARE(status_text(f),
             QString("Not saved: GAME.mgt.gz is never written over, and the edited disc was not saved"));

    f.requester.expect("yesno", "yes");
    f.requester.expect("save", f.path("GAME.img"));
    row_menu(f, 0, "Delete from image");
    QCOMPARE(f.requester.asked().value(3).title, QString::fromUtf8("Save edited image as\u2026"));
    QCOMPARE(f.requester.asked().value(3).text, f.path("GAME.mgt"));
    QVERIFY(read(f.path("GAME.mgt.gz")) == packed);
    QCOMPARE(f.browser()->selected_path(), f.path("GAME.img"));
    QCOMPARE(names(f), QStringList({"more"}));
    QCOMPARE(status_text(f), QString("Deleted code from GAME.mgt.gz, saved as GAME.img (GAME.mgt.gz unchanged); "
                                     "Control+Z undoes it"));

    // Undone in the new image, which then holds the container's disc, side after side.
    undo(f);
    QCOMPARE(names(f), QStringList({"code", "more"}));
    QVERIFY(read(f.path("GAME.mgt.gz")) == packed);
    image::RawImage interleaved(std::make_unique<image::MemoryBytes>(raw), image::Layout::Interleaved);
    const auto sequential = files::read_disc_value(interleaved, image::Layout::Sequential);
    QVERIFY(read(f.path("GAME.img")) == std::get<files::DiscValue>(sequential).bytes);
}

// GAME.mgt replaced by another program after it was listed: a disc with one file "other" in slot 0.
void replace_outside(WindowFixture& f)
{
    ImageBuilder other;
    other.add_zx_file(0, 4, "other", Bytes(50, 3), 32768);
    f.write_image("GAME.mgt", other);
}

void DiscEditWindowTest::row_commands_act_on_the_disc_listed()
{
    WindowFixture f;
    open_game(f);
    replace_outside(f);
    f.requester.expect("save", f.path("code.bin"));
    row_menu(f, 0, QString::fromUtf8("Export file\u2026"));
    QVERIFY(read(f.path("code.bin")) == Bytes(100, 7));
}

void DiscEditWindowTest::a_moved_or_deleted_image_empties_the_list()
{
    WindowFixture f;
    f.write_image("OTHER.mgt", ImageBuilder());
    open_game(f);
    QCOMPARE(names(f).size(), 2);
    std::filesystem::rename(f.path("GAME.mgt").toStdString(), f.path("moved.bin").toStdString());
    QTRY_COMPARE(status_text(f), QString("GAME.mgt was moved or deleted: nothing is listed"));
    QCOMPARE(names(f), QStringList());
}

void DiscEditWindowTest::an_edit_of_an_image_changed_outside_lists_it_again()
{
    WindowFixture f;
    write_tape(f.path("more.tap"), {"one"});
    open_game(f);
    replace_outside(f);
    const auto changed = read(f.path("GAME.mgt"));
    drop(f, {f.path("more.tap")}); // no question: the list it would ask about is gone
    QCOMPARE(status_text(f), QString("GAME.mgt changed since it was listed: listed again, nothing changed"));
    QCOMPARE(names(f), QStringList({"other"}));
    QVERIFY(read(f.path("GAME.mgt")) == changed);
}

void DiscEditWindowTest::a_refused_undo_lists_again_and_goes()
{
    WindowFixture f;
    open_game(f);
    row_menu(f, 0, "Hidden");
    replace_outside(f);
    const auto changed = read(f.path("GAME.mgt"));
    undo(f);
    QCOMPARE(status_text(f),
             "Not undone: " + f.path("GAME.mgt") + " changed on disc since it was read; nothing written; listed again");
    QCOMPARE(names(f), QStringList({"other"}));
    undo(f);
    QCOMPARE(status_text(f), QString("Nothing to undo"));
    QVERIFY(read(f.path("GAME.mgt")) == changed);
}

void DiscEditWindowTest::undo_is_for_the_listed_image_only()
{
    WindowFixture f;
    f.write_image("OTHER.mgt", ImageBuilder());
    open_game(f);
    row_menu(f, 0, "Hidden");
    const auto edited = read(f.path("GAME.mgt"));
    f.pick(f.path("OTHER.mgt"));
    undo(f);
    QCOMPARE(status_text(f), QString("Nothing to undo in OTHER.mgt"));
    QVERIFY(read(f.path("GAME.mgt")) == edited);
    f.pick(f.path("GAME.mgt"));
    undo(f);
    QCOMPARE(status_text(f), QString("Undone: made code hidden in GAME.mgt"));
}

void DiscEditWindowTest::a_protected_file_is_deleted_only_when_the_user_agrees()
{
    WindowFixture f;
    open_game(f);
    row_menu(f, 0, "Protected");
    f.requester.expect("yesno", "no");
    row_menu(f, 0, "Delete from image");
    QCOMPARE(f.requester.asked().value(0).text, QString("Delete code from GAME.mgt?\n\nIt is protected."));
    QCOMPARE(f.requester.asked().value(0).extra, QString("preset No"));
    QCOMPARE(names(f), QStringList({"code", "screen"}));
    f.requester.expect("yesno", "yes");
    row_menu(f, 0, "Delete from image");
    QCOMPARE(names(f), QStringList({"screen"}));
}

void DiscEditWindowTest::an_image_chosen_in_a_zip_is_edited_into_a_new_image()
{
    WindowFixture f;
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(100, 7), 32768);
    b.add_zx_file(1, 4, "more", Bytes(600, 9), 40000);
    const auto a = f.write_image("a.mgt", b);
    const auto c = f.write_image("c.mgt", ImageBuilder());
    QCOMPARE(QProcess::execute("zip", {"-q", "-j", f.path("two.zip"), f.path("a.mgt"), f.path("c.mgt")}), 0);
    std::filesystem::remove(a);
    std::filesystem::remove(c);
    const auto zipped = read(f.path("two.zip"));
    f.open();
    f.requester.expect("choice", "a.mgt");
    f.pick(f.path("two.zip"));
    f.requester.expect("yesno", "yes");
    f.requester.expect("save", f.path("edited.mgt"));
    row_menu(f, 0, "Delete from image");
    QCOMPARE(f.requester.asked().value(2).title, QString::fromUtf8("Save edited image as\u2026"));
    QCOMPARE(names(f), QStringList({"more"}));
    QVERIFY(read(f.path("two.zip")) == zipped);
}

QTEST_MAIN(DiscEditWindowTest)
#include "disc_edit_window_test.moc"
