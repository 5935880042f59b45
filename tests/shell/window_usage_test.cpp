// What the window says and proposes in everyday use: save requesters of an image inside an archive, refused and
// bare names, the status bar after each action, the browser menu, trash and rename, archives passed over with the
// keys, discs of other systems, loaders that keep +D syntax, and the list's cells.
#include "window_fixture.h"

#include "shell/input_requester.h"
#include "shell/save_target.h"
#include "shell/screen_viewer.h"
#include "tape/basic_program.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>

#include <filesystem>

using testing_support::Bytes;
using testing_support::ImageBuilder;
using testing_support::PopupWatcher;
using testing_support::WindowFixture;

namespace {

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

void click(const WindowFixture& f, const char* button)
{
    QTest::mouseClick(f.window->findChild<QPushButton*>(button), Qt::LeftButton);
}

ImageBuilder code_and_screen()
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(100, 7), 32768);
    b.add_zx_file(1, 7, "screen", Bytes(6912, 0x38), 16384);
    return b;
}

// A zip of two images, a.mgt (code and screen) and b.img, in the fixture's folder.
void write_two_image_zip(WindowFixture& f, const QString& name)
{
    const auto a = f.write_image("a.mgt", code_and_screen());
    const auto b = f.write_image("b.img", ImageBuilder(image::Layout::Sequential));
    QCOMPARE(QProcess::execute("zip", {"-q", "-j", f.path(name), f.path("a.mgt"), f.path("b.img")}), 0);
    std::filesystem::remove(a);
    std::filesystem::remove(b);
}

} // namespace

class WindowUsageTest : public QObject
{
    Q_OBJECT
private slots:
    void saving_from_an_archive_starts_in_its_folder();
    void refused_names_ask_again_and_bare_names_get_the_extension();
    void convert_without_a_tape_form_asks_nothing();
    void status_bar_follows_each_action();
    void archives_passed_over_with_the_keys_ask_nothing();
    void browser_menu_offers_file_actions_on_files_only();
    void delete_moves_to_the_trash_where_there_is_one();
    void rename_says_what_happened_and_the_list_follows();
    void rename_requester_selects_the_name_part();
    void foreign_disc_is_listed_with_a_doubt();
    void status_names_the_dos_and_label_of_a_disc();
    void loader_with_disc_only_syntax_is_reported();
    void list_cells_show_type_notes_and_control_bytes();
};

void WindowUsageTest::saving_from_an_archive_starts_in_its_folder()
{
    WindowFixture f;
    write_two_image_zip(f, "several.zip");
    f.open();
    f.requester.expect("choice", "a.mgt");
    f.pick(f.path("several.zip"));
    QCOMPARE(f.list()->topLevelItemCount(), 2);
    f.requester.expect("save", "");
    f.window->export_row(f.window->catalogue()[0]);
    QCOMPARE(f.requester.asked().last().text, f.path("code"));
}

void WindowUsageTest::refused_names_ask_again_and_bare_names_get_the_extension()
{
    WindowFixture f;
    f.write_image("d.mgt", code_and_screen());
    testing_support::ScriptedRequester& r = f.requester;
    r.expect("save", f.path("d.mgt"));
    r.expect("message", "");
    r.expect("save", f.path("noext"));
    QCOMPARE(shell::ask_new_file(r, "Export file", f.path("x"), "TAP Files|*.tap"), f.path("noext.tap"));
    QCOMPARE(r.asked().value(1).text,
             QString("d.mgt is a disc image, and Kestrel never replaces one. Choose a new name."));
    QCOMPARE(r.asked().value(2).text, f.path("d.mgt")); // asked again on the refused name

    // The caller's check refuses too, and the requester opens again.
    r.expect("save", f.path("disk.txt"));
    r.expect("message", "");
    r.expect("save", f.path("newdisk"));
    const auto image_only = [](const QString& path) {
        return path.endsWith(".mgt") ? QString() : QString("no");
    };
    QCOMPARE(shell::ask_new_file(r, "New image name", f.path("t.mgt"), "MGT Images|*.mgt", image_only),
             f.path("newdisk.mgt"));

    // Convert to TAP: "out" becomes out.tap.
    f.open();
    f.pick(f.path("d.mgt"));
    f.window->select_all_rows();
    r.expect("save", f.path("out"));
    click(f, "convertButton");
    QVERIFY(QFile::exists(f.path("out.tap")));
    QVERIFY(!QFile::exists(f.path("out")));
}

void WindowUsageTest::convert_without_a_tape_form_asks_nothing()
{
    WindowFixture f;
    ImageBuilder sam;
    sam.add_sam_file(0, 16, "prog", Bytes(300, 2));
    sam.add_sam_file(1, 19, "code", Bytes(900, 3));
    f.write_image("sam.mgt", sam);
    f.open();
    f.pick(f.path("sam.mgt"));
    f.window->select_all_rows();
    click(f, "convertButton");
    QVERIFY(f.requester.asked().isEmpty());
    QVERIFY(!QFile::exists(f.path("disc.tap")));
    QCOMPARE(status_text(f), QString("0 of 2 files: SAM files have no tape form"));
}

void WindowUsageTest::status_bar_follows_each_action()
{
    WindowFixture f;
    f.write_image("d.mgt", code_and_screen());
    write_two_image_zip(f, "several.zip");
    f.open();

    // The viewer's save declined after an earlier save: the "saved" line goes.
    QString status = "old";
    shell::ScreenViewer viewer(std::vector<inspect::Pixel>(inspect::SCREEN_PIXELS), inspect::SCREEN_WIDTH,
                               inspect::SCREEN_HEIGHT, f.requester, f.path("v.png"), nullptr);
    QObject::connect(&viewer, &shell::ScreenViewer::status_message, [&](const QString& text) { status = text; });
    f.requester.expect("save", f.path("v.png"));
    viewer.save_png();
    QCOMPARE(status, "Screen saved to " + f.path("v.png"));
    f.requester.expect("save", f.path("v.png"));
    f.requester.expect("yesno", "no");
    viewer.save_png();
    QCOMPARE(status, QString());

    // "Select a screen file" goes once a screen is shown.
    f.pick(f.path("d.mgt"));
    click(f, "viewButton");
    QCOMPARE(status_text(f), QString("Select a screen file (6,912 bytes) to view"));
    f.list()->topLevelItem(1)->setSelected(true);
    QString while_shown = "unset";
    QTimer::singleShot(0, [&] {
        while_shown = status_text(f);
        if (auto* shown = f.window->findChild<shell::ScreenViewer*>("screenViewer"))
            shown->close();
    });
    click(f, "viewButton");
    QCOMPARE(while_shown, QString());

    // A cancelled archive choice says what the archive holds, not how to name it on the command line.
    f.requester.expect("choice", "");
    f.pick(f.path("several.zip"));
    QCOMPARE(status_text(f), QString("several.zip holds 2 images (a.mgt, b.img); none chosen"));
}

void WindowUsageTest::archives_passed_over_with_the_keys_ask_nothing()
{
    WindowFixture f;
    f.write_image("a0.mgt", code_and_screen());
    write_two_image_zip(f, "several.zip");
    f.open();
    f.pick(f.path("a0.mgt"));
    f.browser()->setFocus();
    QTest::keyClick(f.browser(), Qt::Key_Down);
    QCOMPARE(f.browser()->selected_path(), f.path("several.zip"));
    QVERIFY(f.requester.unexpected().isEmpty());
    QCOMPARE(f.list()->topLevelItemCount(), 0);
    QCOMPARE(status_text(f), QString("several.zip holds 2 images: press Return to choose"));
    f.requester.expect("choice", "a.mgt");
    QTest::keyClick(f.browser(), Qt::Key_Return);
    QCOMPARE(f.list()->topLevelItemCount(), 2);
}

void WindowUsageTest::browser_menu_offers_file_actions_on_files_only()
{
    WindowFixture f;
    QDir(f.folder()).mkdir("sub");
    f.open();
    f.pick(f.path("sub"));
    QStringList items;
    PopupWatcher watcher([&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->isVisible())
                items << action->text();
        }
        menu->close();
    });
    const QPoint at = f.browser()->visualRect(f.browser()->file_model()->index(f.path("sub"))).center();
    QTest::mouseClick(f.browser()->viewport(), Qt::RightButton, {}, at);
    QCOMPARE(items, QStringList({QString::fromUtf8("New image from tapes\u2026"), "",
                                 QString::fromUtf8("About Kestrel\u2026")}));
}

void WindowUsageTest::delete_moves_to_the_trash_where_there_is_one()
{
    WindowFixture f;
    f.write_image("GAME.mgt", code_and_screen());
    f.write_image("other.mgt", code_and_screen());
    f.open();
    f.pick(f.path("GAME.mgt"));
    f.requester.expect("yesno", "yes");
    f.window->delete_image_file();
    QCOMPARE(f.requester.asked().last().text,
             "Deleting " + f.path("GAME.mgt") + "\n\nIt goes to the trash, from where it can be restored.");
    QVERIFY(QFile::exists(f.trash.filePath("GAME.mgt")));
    QCOMPARE(status_text(f), QString("Moved GAME.mgt to the trash"));
    QCOMPARE(f.list()->topLevelItemCount(), 0);

    f.system.trash_folder.clear();
    f.pick(f.path("other.mgt"));
    f.requester.expect("yesno", "yes");
    f.window->delete_image_file();
    QCOMPARE(f.requester.asked().last().text,
             "Deleting " + f.path("other.mgt") + "\n\nThere is no trash here: the file is deleted for good.");
    QVERIFY(!QFile::exists(f.path("other.mgt")));
    QCOMPARE(status_text(f), QString("Deleted other.mgt for good"));
}

void WindowUsageTest::rename_says_what_happened_and_the_list_follows()
{
    WindowFixture f;
    f.write_image("GAME.mgt", code_and_screen());
    f.write_image("taken.mgt", code_and_screen());
    f.open();
    // A name that cannot be taken is said, and the requester opens again on it.
    const struct
    {
        const char* answer;
        QString message;
    } refused[] = {
        {"taken.mgt", "taken.mgt exists: choose another name"},
        {"nowhere/x.mgt", "There is no folder " + f.path("nowhere")},
    };
    f.pick(f.path("GAME.mgt"));
    for (const auto& c : refused) {
        f.requester.expect("text", c.answer);
        f.requester.expect("message", "");
    }
    f.requester.expect("text", "");
    f.window->rename_image_file();
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(f.requester.asked().value(2 * i + 1).text, refused[i].message);
        QCOMPARE(f.requester.asked().value(2 * i + 2).extra, QString(refused[i].answer));
    }
    QVERIFY(QFile::exists(f.path("GAME.mgt")));

    // A name typed without an extension keeps the image's; the image stays selected and listed, the pane as it was.
    const QString pane = f.pane()->toPlainText();
    f.requester.expect("text", "LEVEL");
    f.window->rename_image_file();
    QCOMPARE(status_text(f), QString("Renamed GAME.mgt to LEVEL.mgt"));
    QCOMPARE(f.browser()->selected_path(), f.path("LEVEL.mgt"));
    QCOMPARE(f.list()->topLevelItemCount(), 2);
    QCOMPARE(f.pane()->toPlainText(), pane);
    f.requester.expect("text", "GAME.mgt");
    f.window->rename_image_file();

    // Renamed as the same kind of image, the list follows; as one read another way, it is read again that way.
    f.requester.expect("text", "GAME.dsk");
    f.window->rename_image_file();
    f.list()->topLevelItem(0)->setSelected(true);
    f.requester.expect("save", f.path("out.tap"));
    click(f, "convertButton");
    QCOMPARE(status_text(f), "1 of 1 files written to " + f.path("out.tap"));
    f.pick(f.path("GAME.dsk"));
    f.requester.expect("text", "GAME.img");
    f.window->rename_image_file();
    QCOMPARE(f.browser()->selected_path(), f.path("GAME.img"));
    QCOMPARE(status_text(f), QString("Renamed GAME.dsk to GAME.img"));
    QVERIFY(f.pane()->toPlainText().contains("On image " + f.path("GAME.img")));
    f.requester.expect("text", "GAME.mgt");
    f.window->rename_image_file();

    // Renamed to a name the browser does not list: the list goes with it, and a conversion asks nothing.
    f.pick(f.path("GAME.mgt"));
    QCOMPARE(f.list()->topLevelItemCount(), 2);
    f.requester.expect("text", "odd2.txt");
    f.window->rename_image_file();
    QVERIFY(QFile::exists(f.path("odd2.txt")));
    QVERIFY(status_text(f).startsWith("Renamed GAME.mgt to odd2.txt; the browser lists only disc images"));
    QCOMPARE(f.list()->topLevelItemCount(), 0);
    click(f, "convertButton");
    QVERIFY(!QFile::exists(f.path("disc.tap")));
}

void WindowUsageTest::rename_requester_selects_the_name_part()
{
    WindowFixture f;
    shell::InputRequester requester("Rename file", "Please enter new file name", "GAME.v2.mgt", nullptr);
    requester.show();
    QVERIFY(QTest::qWaitForWindowExposed(&requester));
    auto* field = requester.findChild<QLineEdit*>("inputField");
    QTRY_COMPARE(field->selectedText(), QString("GAME.v2"));
    QTest::mouseClick(requester.findChild<QPushButton*>("inputCancel"), Qt::LeftButton);
    QCOMPARE(requester.result(), int(QDialog::Rejected));
    QCOMPARE(requester.answer(), QString());
}

void WindowUsageTest::foreign_disc_is_listed_with_a_doubt()
{
    WindowFixture f;
    std::filesystem::copy_file(testing_support::real_images_dir() / "solo-forth-library-blocks.mgt",
                               f.path("blocks.mgt").toStdString());
    f.open();
    f.pick(f.path("blocks.mgt"));
    QVERIFY(f.list()->topLevelItemCount() > 0);
    QVERIFY(f.pane_lines().size() > 2);
    QVERIFY(status_text(f).startsWith("blocks.mgt does not look like a +D/SAM directory: most used entries fail basic "
                                      "checks: type, sector count, track range"));
}

void WindowUsageTest::status_names_the_dos_and_label_of_a_disc()
{
    WindowFixture f;
    const std::vector<std::pair<QString, QString>> discs = {
        {"sam_masterdos_label.mgt", "MasterDOS disc \"ABCDEFGHIJ\""},
        {"sam_bdos_label.mgt", "BDOS disc \"ABCDEFGHIJKLMNOP\""},
        {"sam_masterdos_5tracks.mgt", "MasterDOS disc, 5 directory tracks"},
        {"sam_basic_auto.mgt", ""},
    };
    for (const auto& [name, _] : discs)
        std::filesystem::copy_file(testing_support::real_images_dir() / "sam" / name.toStdString(),
                                   f.path(name).toStdString());
    f.open();
    for (const auto& [name, dos] : discs) {
        f.pick(f.path(name));
        QCOMPARE(status_text(f), dos.isEmpty() ? QString() : name + ": " + dos);
    }
}

void WindowUsageTest::loader_with_disc_only_syntax_is_reported()
{
    using namespace testing_support;
    WindowFixture f;
    ImageBuilder b;
    const Bytes poke_at = Bytes{0xF4, '@'} + small_number(5) + Bytes{','} + small_number(1);
    const Bytes loader = basic_line(10, Bytes{TOKEN_LOAD, 'd'} + small_number(1) + ascii("\"s\":") + poke_at);
    b.add_zx_file(0, 1, "boot", loader, 0, 10, static_cast<std::uint16_t>(loader.size()));
    f.write_image("d.mgt", b);
    f.settings.BasStrip = 1;
    f.open();
    f.pick(f.path("d.mgt"));
    f.window->select_all_rows();
    f.requester.expect("save", f.path("out.tap"));
    click(f, "convertButton");
    QCOMPARE(f.pane_lines().value(0), QString("boot       syntax changes: 1"));
    QCOMPARE(status_text(f),
             "1 of 1 files written to " + f.path("out.tap") + "; 1 loader still uses +D-only syntax (see List BASIC)");

    QString listed;
    QTimer::singleShot(0, [&] {
        if (auto* window = f.window->findChild<QWidget*>("basicWindow")) {
            listed = window->findChild<QPlainTextEdit*>("basicText")->toPlainText();
            window->close();
        }
    });
    f.window->list_basic(f.window->catalogue()[0]);
    QVERIFY2(listed.contains("<- +D only, stops from tape: statement 2 POKE @"), qPrintable(listed));
}

void WindowUsageTest::list_cells_show_type_notes_and_control_bytes()
{
    WindowFixture f;
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(100, 7), 32768);
    testing_support::EntryFields subdir;
    subdir.status = 21;
    subdir.name = "subdir";
    subdir.first_sector = 1;
    b.entry(1, subdir);
    b.add_zx_file(2, 4, std::string("a\tb\nc"), Bytes(10, 1), 32768);
    b.add_sam_file(3, 16, "samprogram", Bytes(300, 2));
    f.write_image("d.mgt", b);
    f.write_image("e.img", ImageBuilder(image::Layout::Sequential));
    std::filesystem::copy_file(f.path("d.mgt").toStdString(), f.path("z.zip").toStdString());
    f.open();
    f.pick(f.path("d.mgt"));
    QTreeWidget* list = f.list();
    QCOMPARE(list->topLevelItem(1)->text(4), QString("SAM SubDir (21)"));
    QCOMPARE(list->topLevelItem(1)->toolTip(0), QString());
    // A SAM file's tooltip says what its entry keeps beyond the columns (here a zero auto-run line).
    QCOMPARE(list->topLevelItem(3)->toolTip(0), QString("auto-run line 0"));
    QCOMPARE(list->topLevelItem(0)->toolTip(0), QString());
    QCOMPARE(list->topLevelItem(2)->text(0).trimmed(), QString("a\\tb\\nc"));
    const QFontMetrics metrics(list->font());
    QVERIFY(list->columnWidth(4) >= metrics.horizontalAdvance(list->topLevelItem(3)->text(4)));

    // Every image in the browser has the same icon, so their names line up.
    QFileSystemModel* model = f.browser()->file_model();
    const qint64 mgt = model->fileIcon(model->index(f.path("d.mgt"))).cacheKey();
    QCOMPARE(model->fileIcon(model->index(f.path("e.img"))).cacheKey(), mgt);
    QCOMPARE(model->fileIcon(model->index(f.path("z.zip"))).cacheKey(), mgt);
}

QTEST_MAIN(WindowUsageTest)
#include "window_usage_test.moc"
