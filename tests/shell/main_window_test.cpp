// The main window driven as a user would: geometry, picking images, conversion, the screen viewer, Control+A,
// and the settings written at close.
#include "window_fixture.h"

#include "common/version.h"
#include "shell/screen_viewer.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>

#include <filesystem>

using testing_support::ImageBuilder;
using testing_support::WindowFixture;

namespace {

std::vector<std::uint8_t> bytes(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(seed + i * 13);
    return out;
}

// Three files in slots 2, 3 and 7: a BASIC loader with a disc LOAD, a screen, and code.
ImageBuilder three_files()
{
    ImageBuilder b;
    const std::vector<std::uint8_t> loader = {0x00, 0x0A, 0x0E, 0x00, 0xEF, 0x64, 0x31, 0x0E, 0x00, 0x00,
                                              0x01, 0x00, 0x00, 0x22, 'g',  'a',  'm',  'e',  0x22, 0x0D};
    b.add_zx_file(2, 1, "loader", loader, 0, 10, static_cast<std::uint16_t>(loader.size()));
    std::vector<std::uint8_t> screen(6912, 0x00);
    std::fill(screen.begin() + 6144, screen.end(), std::uint8_t{0x38}); // black ink on white paper
    screen[0] = 0x80;                                                   // top-left pixel set
    b.add_zx_file(3, 7, "screen", screen, 16384);
    b.add_zx_file(7, 4, "code", bytes(1000, 5), 32768);
    return b;
}

QPushButton* button(const WindowFixture& f, const char* name)
{
    return f.window->findChild<QPushButton*>(name);
}

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void opens_with_the_controls_in_place();
    void relayout_follows_the_size();
    void picking_an_image_lists_and_scans_it();
    void pane_shows_paths_decoded_and_disc_names_byte_for_byte();
    void picking_a_folder_keeps_the_list();
    void picking_an_archive_lists_the_image_chosen_inside();
    void convert_writes_the_selected_rows_in_list_order();
    void convert_asks_before_replacing_a_nonempty_tape();
    void cancelled_save_requester_keeps_the_tape_name();
    void convert_after_a_folder_click_uses_the_listed_image();
    void view_screen_shows_a_6912_byte_file();
    void view_screen_ignores_other_rows();
    void control_a_selects_every_row();
    void control_a_in_a_requester_stays_there();
    void convert_with_nothing_selected_asks_nothing();
    void status_bar_says_what_a_conversion_did();
    void status_bar_says_why_nothing_was_shown();
    void renaming_or_deleting_the_listed_image_takes_the_list_along();
    void closing_writes_the_settings();
    void close_request_while_viewer_is_open_closes_the_viewer();
};

void MainWindowTest::opens_with_the_controls_in_place()
{
    WindowFixture f;
    shell::MainWindow& w = f.open();
    QVERIFY(w.windowTitle().startsWith(QString("Kestrel v. ") + common::VERSION + " "));
    QCOMPARE(w.size(), QSize(796, 405));
    QCOMPARE(w.minimumSize(), QSize(300, 200));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);

    auto* splitter = w.findChild<QSplitter*>("splitter");
    QCOMPARE(splitter->geometry(), QRect(0, 0, 796, 300));
    QCOMPARE(splitter->handleWidth(), 7);
    QCOMPARE(splitter->sizes().value(0), 394);

    const QList<std::pair<const char*, QRect>> buttons = {
        {"convertButton", {5, 305, 120, 19}},  {"optionsButton", {5, 325, 120, 19}},
        {"grabAButton", {5, 345, 120, 19}},    {"grabBButton", {5, 365, 120, 19}},
        {"donateButton", {130, 305, 120, 19}}, {"viewButton", {130, 325, 120, 19}},
        {"writeAButton", {130, 345, 120, 19}}, {"writeBButton", {130, 365, 120, 19}},
    };
    const QStringList captions = {"Convert to TAP", "Options",     "Grab Drive A: to MGT",  "Grab Drive B: to MGT",
                                  "Donate",         "View Screen", "Write MGT to Drive A:", "Write MGT to Drive B:"};
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QPushButton* b = button(f, buttons[i].first);
        QCOMPARE(b->geometry(), buttons[i].second);
        QCOMPARE(b->text(), captions[i]);
        // Every caption fits its button.
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 8 <= b->width(),
                 qPrintable(QString("%1: %2 px").arg(b->text()).arg(b->fontMetrics().horizontalAdvance(b->text()))));
    }
    QCOMPARE(f.pane()->geometry(), QRect(255, 300, 541, 85));
    QVERIFY(f.pane()->isReadOnly());
    QCOMPARE(f.pane()->lineWrapMode(), QPlainTextEdit::NoWrap);

    const QStringList titles = {"Filename", "Start", "Length", "Attr", "Type", "StartS", "StartT", "Sect"};
    const QList<int> widths = {100, 50, 50, 50, 80, 50, 50, 50};
    QCOMPARE(f.list()->columnCount(), 8);
    for (int c = 0; c < 8; ++c) {
        QCOMPARE(f.list()->headerItem()->text(c), titles[c]);
        QCOMPARE(f.list()->columnWidth(c), widths[c]);
    }
    QCOMPARE(f.list()->selectionMode(), QAbstractItemView::ExtendedSelection);
    auto* status = w.findChild<QStatusBar*>("statusBar");
    QCOMPARE(status->geometry().bottom(), w.height() - 1);
    QCOMPARE(status->width(), w.width());
}

void MainWindowTest::relayout_follows_the_size()
{
    WindowFixture f;
    shell::MainWindow& w = f.open();
    const QList<QSize> sizes = {{600, 300}, {1000, 700}, {796, 405}};
    for (const QSize& size : sizes) {
        w.resize(size);
        const int h = size.height();
        QCOMPARE(w.findChild<QSplitter*>("splitter")->geometry(), QRect(0, 0, size.width(), h - 105));
        QCOMPARE(f.pane()->geometry(), QRect(255, h - 105, size.width() - 255, 85));
        QCOMPARE(button(f, "convertButton")->geometry(), QRect(5, h - 100, 120, 19));
        QCOMPARE(button(f, "donateButton")->geometry(), QRect(130, h - 100, 120, 19));
        QCOMPARE(button(f, "viewButton")->geometry(), QRect(130, h - 80, 120, 19));
        QCOMPARE(button(f, "grabAButton")->geometry(), QRect(5, h - 60, 120, 19));
        QCOMPARE(button(f, "writeBButton")->geometry(), QRect(130, h - 40, 120, 19));
    }
    w.resize(100, 50);
    QVERIFY(w.width() >= 300 && w.height() >= 200);
}

void MainWindowTest::picking_an_image_lists_and_scans_it()
{
    WindowFixture f;
    const auto image = f.write_image("Disc.MGT", three_files());
    f.open();
    f.pick(f.path("Disc.MGT"));

    QTreeWidget* list = f.list();
    QCOMPARE(list->topLevelItemCount(), 3);
    const QList<int> expected_slots = {2, 3, 7};
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        QCOMPARE(item->data(0, Qt::UserRole).toInt(), expected_slots[i]);
        const QColor expected = i % 2 == 0 ? QColor(255, 255, 255) : QColor(223, 223, 223);
        for (int c = 0; c < 8; ++c)
            QCOMPARE(item->background(c).color(), expected);
    }
    QCOMPARE(list->topLevelItem(1)->text(0), QString("screen    "));
    QCOMPARE(list->topLevelItem(1)->text(2), QString("6912"));
    QCOMPARE(list->topLevelItem(1)->text(4), QString("ZX Screen$ (7)"));

    const QString path = f.path("Disc.MGT");
    const QStringList expected = {"Scanning file: " + f.path("Disc") + " ...",
                                  "On image " + path + " no errors has been found. 3 files found", ""};
    QCOMPARE(f.pane_lines(), expected);
    QCOMPARE(QString::fromStdString(f.window->current_image_path()), path);
    QCOMPARE(QString::fromStdString(f.settings.Currentdir), f.folder() + "/");
}

void MainWindowTest::picking_an_archive_lists_the_image_chosen_inside()
{
    WindowFixture f;
    const auto a = f.write_image("a.mgt", three_files());
    const auto b = f.write_image("b.img", ImageBuilder(image::Layout::Sequential));
    QCOMPARE(QProcess::execute("zip", {"-q", "-j", f.path("both.zip"), f.path("a.mgt"), f.path("b.img")}), 0);
    std::filesystem::remove(a);
    std::filesystem::remove(b);
    f.requester.expect("choice", "");
    f.requester.expect("choice", "a.mgt");
    f.open();

    f.pick(f.path("both.zip"));
    QCOMPARE(f.list()->topLevelItemCount(), 0);
    QVERIFY(f.window->findChild<QStatusBar*>("statusBar")->currentMessage().contains("a.mgt, b.img"));

    f.pick(f.folder());
    f.pick(f.path("both.zip"));
    QCOMPARE(f.requester.asked().last().extra, QString("a.mgt|b.img"));
    QCOMPARE(f.list()->topLevelItemCount(), 3);
    const QString inner = f.path("both.zip") + "/a.mgt";
    const QStringList expected = {"Scanning file: " + f.path("both.zip") + "/a ...",
                                  "On image " + inner + " no errors has been found. 3 files found", ""};
    QCOMPARE(f.pane_lines(), expected);

    // The other real archive's second image is a 9-sector disc: nothing listed, and the status bar says why.
    std::filesystem::copy_file(testing_support::real_images_dir() / "containers" / "image_multiple.zip",
                               f.path("two.zip").toStdString());
    f.requester.expect("choice", "image9.dsk");
    f.wait_for_browser();
    f.pick(f.path("two.zip"));
    QCOMPARE(f.list()->topLevelItemCount(), 0);
    QVERIFY(f.window->findChild<QStatusBar*>("statusBar")->currentMessage().contains("9 sectors per track"));
}

void MainWindowTest::pane_shows_paths_decoded_and_disc_names_byte_for_byte()
{
    WindowFixture f;
    // A file whose chain is not there: the scan finds it, and names it by its raw name.
    ImageBuilder builder;
    testing_support::EntryFields broken;
    broken.status = image::TYPE_ZX_CODE;
    broken.raw_name = {'c', 'a', 'f', 0xE9, 0x01};
    broken.sector_count = 3;
    broken.first_track = 4;
    broken.first_sector = 1;
    builder.entry(0, broken);
    const QString name = QString::fromUtf8("\u00E9t\u00E9");
    f.write_image(name + ".mgt", builder);
    f.open();
    f.pick(f.path(name + ".mgt"));

    const QStringList lines = f.pane_lines();
    QVERIFY2(lines.size() > 3, qPrintable(lines.join('\n')));
    QCOMPARE(lines.first(), "Scanning file: " + f.path(name) + " ...");
    for (qsizetype i = 1; i + 2 < lines.size(); ++i)
        QVERIFY2(lines[i].startsWith(QString::fromUtf8("caf\u00E9\\x01 ")), qPrintable(lines[i]));
    QVERIFY2(lines[lines.size() - 2].startsWith("On image " + f.path(name + ".mgt") + " "),
             qPrintable(lines[lines.size() - 2]));
}

void MainWindowTest::picking_a_folder_keeps_the_list()
{
    WindowFixture f;
    f.write_image("a.img", three_files());
    QDir(f.folder()).mkdir("sub");
    f.open();
    f.pick(f.path("a.img"));
    QCOMPARE(f.list()->topLevelItemCount(), 3);
    f.pick(f.path("sub"));
    QCOMPARE(f.list()->topLevelItemCount(), 3);
    QCOMPARE(f.pane()->toPlainText(), QString());
    QCOMPARE(QString::fromStdString(f.settings.Currentdir), f.path("sub") + "/");
    QCOMPARE(QString::fromStdString(f.window->current_image_path()), f.path("sub") + "/");
}

void MainWindowTest::convert_writes_the_selected_rows_in_list_order()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    const QString tape = f.path("out.tap");
    f.requester.expect("save", tape);
    f.list()->topLevelItem(2)->setSelected(true);
    f.list()->topLevelItem(0)->setSelected(true);
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);

    QVERIFY(f.requester.unexpected().isEmpty());
    QVERIFY(f.requester.exhausted());
    QCOMPARE(f.requester.asked().value(0).title, QString("Enter Save Filename"));
    QCOMPARE(f.requester.asked().value(0).text, f.path("disc.tap"));
    QCOMPARE(f.requester.asked().value(0).extra, QString("TAP Files|*.tap"));
    QCOMPARE(QString::fromStdString(f.settings.savefile), tape);
    QCOMPARE(f.pane_lines(), QStringList({"loader     syntax changes: 1"}));

    const auto written = testing_support::read_file(tape.toStdString());
    // loader: 21 + 2 + 20 + 2 bytes; code: 21 + 2 + 1000 + 2 bytes, in list order.
    QCOMPARE(written.size(), std::size_t{45 + 1025});
    QCOMPARE(written[3], std::uint8_t{0}); // program first
    QCOMPARE(written[45 + 3], std::uint8_t{3});
}

void MainWindowTest::convert_asks_before_replacing_a_nonempty_tape()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    const QString tape = f.path("old.tap");
    testing_support::write_file(tape.toStdString(), std::vector<std::uint8_t>{1, 2, 3});
    f.open();
    f.pick(f.path("d.mgt"));
    f.list()->topLevelItem(2)->setSelected(true);

    f.requester.expect("save", tape);
    f.requester.expect("yesno", "no");
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(f.requester.asked().value(1).title, QString("File exist"));
    QCOMPARE(f.requester.asked().value(1).text, "Do you want ot overwrite " + tape + " ?");
    QCOMPARE(testing_support::read_file(tape.toStdString()).size(), std::size_t{3});
    QCOMPARE(f.pane()->toPlainText(), QString());

    f.requester.expect("save", tape);
    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(testing_support::read_file(tape.toStdString()).size(), std::size_t{1025});

    // An empty file is replaced without a question.
    const QString empty = f.path("empty.tap");
    testing_support::write_file(empty.toStdString(), std::vector<std::uint8_t>{});
    f.requester.expect("save", empty);
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QVERIFY(f.requester.unexpected().isEmpty());
    QVERIFY(f.requester.exhausted());
    QCOMPARE(testing_support::read_file(empty.toStdString()).size(), std::size_t{1025});
}

void MainWindowTest::cancelled_save_requester_keeps_the_tape_name()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    f.list()->topLevelItem(0)->setSelected(true);
    f.requester.expect("save", "");
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(f.settings.savefile), f.path("disc.tap"));
    QVERIFY(!QFile::exists(f.path("disc.tap")));
    QCOMPARE(f.pane()->toPlainText(), QString());
}

void MainWindowTest::convert_after_a_folder_click_uses_the_listed_image()
{
    WindowFixture f;
    f.write_image("d.dsk", three_files());
    QDir(f.folder()).mkdir("elsewhere");
    f.open();
    f.pick(f.path("d.dsk"));
    f.pick(f.path("elsewhere"));
    f.list()->topLevelItem(2)->setSelected(true);
    f.requester.expect("save", f.path("x.tap"));
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(f.pane()->toPlainText(), QString());
    QCOMPARE(testing_support::read_file(f.path("x.tap").toStdString()).size(), std::size_t{1025});
}

void MainWindowTest::view_screen_shows_a_6912_byte_file()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    f.list()->topLevelItem(2)->setSelected(true); // ignored: the first selected row counts
    f.list()->topLevelItem(1)->setSelected(true);

    QImage seen;
    QString title;
    QSize size;
    QTimer::singleShot(0, [&] {
        auto* viewer = f.window->findChild<shell::ScreenViewer*>("screenViewer");
        QVERIFY(viewer);
        seen = viewer->image();
        title = viewer->windowTitle();
        size = viewer->size();
        QVERIFY(viewer->maximumSize() == viewer->minimumSize());
        viewer->close();
    });
    QTest::mouseClick(button(f, "viewButton"), Qt::LeftButton);
    QCOMPARE(title, QString("Screen Viewer"));
    QCOMPARE(size, QSize(256, 192));
    QCOMPARE(seen.size(), QSize(256, 192));
    QCOMPARE(seen.pixel(0, 0) & 0xFFFFFF, 0x040204u);
    QCOMPARE(seen.pixel(1, 0) & 0xFFFFFF, 0xCCC6CCu);
    QCOMPARE(seen.pixel(0, 1) & 0xFFFFFF, 0xCCC6CCu);
    QVERIFY(!f.window->findChild<shell::ScreenViewer*>("screenViewer"));
}

void MainWindowTest::view_screen_ignores_other_rows()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto* viewer = f.window->findChild<shell::ScreenViewer*>("screenViewer")) {
            opened = true;
            viewer->close();
        }
    });
    f.list()->topLevelItem(2)->setSelected(true);
    QTest::mouseClick(button(f, "viewButton"), Qt::LeftButton);
    f.list()->clearSelection();
    QTest::mouseClick(button(f, "viewButton"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(!opened);
}

void MainWindowTest::control_a_selects_every_row()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    f.pane()->setFocus();
    QTest::keyClick(f.pane(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(f.list()->selectedItems().size(), 3);
}

void MainWindowTest::control_a_in_a_requester_stays_there()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    f.list()->topLevelItem(2)->setSelected(true);
    // The save requester's name field takes Control+A to select the proposed name.
    QLineEdit name_field("disc.tap");
    f.requester.on_next_question([&] {
        name_field.show();
        name_field.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&name_field));
        name_field.setFocus();
        QCOMPARE(QApplication::focusWidget(), &name_field);
        QTest::keyClick(&name_field, Qt::Key_A, Qt::ControlModifier);
    });
    f.requester.expect("save", f.path("out.tap"));
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(name_field.selectedText(), QString("disc.tap"));
    QCOMPARE(f.list()->selectedItems().size(), 1);
    QCOMPARE(testing_support::read_file(f.path("out.tap").toStdString()).size(), std::size_t{1025});
}

void MainWindowTest::convert_with_nothing_selected_asks_nothing()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QVERIFY(f.requester.asked().isEmpty());
    QVERIFY(!QFile::exists(f.path("disc.tap")));
    QCOMPARE(status_text(f), QString("Select the files to convert first"));
}

void MainWindowTest::status_bar_says_what_a_conversion_did()
{
    WindowFixture f;
    ImageBuilder b = three_files();
    b.add_sam_file(9, 19, "samcode", bytes(2000, 1));
    f.write_image("d.mgt", b);
    ImageBuilder sam;
    sam.add_sam_file(0, 16, "prog", bytes(300, 2));
    sam.add_sam_file(1, 19, "code", bytes(900, 3));
    f.write_image("sam.mgt", sam);
    f.open();

    const QString tape = f.path("out.tap");
    f.pick(f.path("d.mgt"));
    f.list()->topLevelItem(0)->setSelected(true);
    f.requester.expect("save", tape);
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(status_text(f), "1 of 1 files written to " + tape);

    f.window->select_all_rows();
    f.requester.expect("save", tape);
    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(status_text(f), "3 of 4 files written to " + tape + "; SAM files have no tape form");

    f.pick(f.path("sam.mgt"));
    QCOMPARE(status_text(f), QString()); // a browser event clears the line
    f.window->select_all_rows();
    // Only SAM files: no tape is asked for.
    QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
    QCOMPARE(status_text(f), QString("0 of 2 files: SAM files have no tape form"));
}

void MainWindowTest::status_bar_says_why_nothing_was_shown()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.write_image("short.mgt", three_files().resize(819199));
    f.open();

    f.pick(f.path("d.mgt"));
    QTest::mouseClick(button(f, "viewButton"), Qt::LeftButton);
    QCOMPARE(status_text(f), QString("Select a screen file (6,912 bytes) to view"));
    f.list()->topLevelItem(2)->setSelected(true);
    QTest::mouseClick(button(f, "viewButton"), Qt::LeftButton);
    QCOMPARE(status_text(f), QString("code is 1,000 bytes long, not a 6,912-byte screen"));

    f.pick(f.path("short.mgt"));
    QCOMPARE(f.list()->topLevelItemCount(), 3);
    QCOMPARE(f.pane()->toPlainText(), QString());
    QCOMPARE(status_text(f),
             QString("short.mgt listed but not checked: 819,199 bytes, not the 819,200 of a disc image"));
}

void MainWindowTest::renaming_or_deleting_the_listed_image_takes_the_list_along()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.write_image("other.mgt", ImageBuilder());
    f.open();
    const auto convert_code_file = [&] {
        f.list()->clearSelection();
        f.list()->topLevelItem(2)->setSelected(true);
        f.requester.expect("save", f.path("x.tap"));
        if (QFile(f.path("x.tap")).size() > 0)
            f.requester.expect("yesno", "yes");
        QTest::mouseClick(button(f, "convertButton"), Qt::LeftButton);
        return testing_support::read_file(f.path("x.tap").toStdString()).size();
    };

    f.pick(f.path("d.mgt"));
    f.requester.expect("text", "e.mgt");
    f.window->rename_image_file();
    QCOMPARE(convert_code_file(), std::size_t{1025});
    QCOMPARE(f.pane()->toPlainText(), QString());

    // Another file selected in the browser (the list not following the selection): the list stays as it is.
    {
        const QSignalBlocker quiet(f.browser());
        f.pick(f.path("other.mgt"));
    }
    f.requester.expect("text", "other2.mgt");
    f.window->rename_image_file();
    QVERIFY(QFile::exists(f.path("other2.mgt")));
    QCOMPARE(convert_code_file(), std::size_t{1025});
    {
        const QSignalBlocker quiet(f.browser());
        f.pick(f.path("other2.mgt"));
    }
    f.requester.expect("yesno", "yes");
    f.window->delete_image_file();
    QCOMPARE(f.list()->topLevelItemCount(), 3);

    f.pick(f.path("e.mgt"));
    f.requester.expect("yesno", "yes");
    f.window->delete_image_file();
    QCOMPARE(f.list()->topLevelItemCount(), 0);
    QVERIFY(f.window->catalogue().empty());
}

void MainWindowTest::closing_writes_the_settings()
{
    WindowFixture f;
    f.settings.BasStrip = 7;
    f.settings.SAMDisk = "/opt/samdisk";
    f.open();
    f.window->close();
    const auto written = testing_support::read_file(f.settings_path());
    const std::string text(written.begin(), written.end());
    const std::string expected = "[Main]\r\nCurrentdir = " + f.settings.Currentdir +
                                 "\r\nsavefile = " + f.settings.savefile +
                                 "\r\nBasStrip = 7\r\nSAMDisk = /opt/samdisk\r\n";
    QCOMPARE(text, expected);
}

void MainWindowTest::close_request_while_viewer_is_open_closes_the_viewer()
{
    WindowFixture f;
    f.write_image("d.mgt", three_files());
    f.open();
    f.pick(f.path("d.mgt"));
    f.list()->topLevelItem(1)->setSelected(true);
    bool main_still_visible = false;
    QTimer::singleShot(0, [&] {
        f.window->close();
        main_still_visible = f.window->isVisible();
    });
    QTest::mouseClick(button(f, "viewButton"), Qt::LeftButton);
    QVERIFY(main_still_visible);
    QVERIFY(f.window->isVisible());
    QVERIFY(!QFile::exists(QString::fromStdString(f.settings_path())));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
