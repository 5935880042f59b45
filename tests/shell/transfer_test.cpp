// The drive buttons, the options window, and the browser menu's rename and delete, with scripted answers, a fake
// clock, and a stand-in SAMDisk program for one end-to-end run.
#include "window_fixture.h"

#include "platform/qt_process_runner.h"
#include "platform/qt_requester.h"
#include "platform/qt_system_info.h"
#include "shell/command_line.h"
#include "shell/options_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

using testing_support::ImageBuilder;
using testing_support::WindowFixture;

namespace {

QPushButton* button(const WindowFixture& f, const char* name)
{
    return f.window->findChild<QPushButton*>(name);
}

QString make_file(const WindowFixture& f, const QString& name, qint64 size)
{
    QFile file(f.path(name));
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray(size, 'x'));
    return file.fileName();
}

// A window with a usable SAMDisk of 23,000 bytes and both drives present.
void with_samdisk(WindowFixture& f)
{
    f.settings.SAMDisk = make_file(f, "samdisk", 23000).toStdString();
}

// A stand-in SAMDisk: a script that records its arguments one per line and ends after `delay` seconds, padded to
// a size that the start-up check accepts.
QString write_stand_in_samdisk(const WindowFixture& f, const QString& log, const QString& delay)
{
    const QString program = f.path("sam disk");
    QFile script(program);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    QByteArray text = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + log.toUtf8() + "\"\n";
    text += "sleep " + delay.toUtf8() + "\nexit 0\n#";
    text += QByteArray(23000 - text.size() - 1, 'x') + "\n";
    script.write(text);
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    return program;
}

QString read_text(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList enabled_drive_buttons(const WindowFixture& f)
{
    QStringList names;
    for (const char* name : {"grabAButton", "grabBButton", "writeAButton", "writeBButton"}) {
        if (button(f, name)->isEnabled())
            names << name;
    }
    return names;
}

} // namespace

class TransferTest : public QObject
{
    Q_OBJECT
private slots:
    void drive_buttons_follow_drives_and_samdisk_size_data();
    void drive_buttons_follow_drives_and_samdisk_size();
    void grab_passes_the_drive_and_target();
    void cancelled_grab_starts_nothing();
    void hint_only_below_three_seconds();
    void write_asks_then_runs_for_mgt_and_dsk_only();
    void command_lines_quote_the_program();
    void stand_in_samdisk_receives_the_arguments();
    void stand_in_samdisk_on_the_real_clock();
    void donate_and_web_open_addresses();
    void options_window_edits_the_settings();
    void samdisk_requester_opens_on_the_chosen_filter();
    void close_request_while_options_are_open_closes_them();
    void rename_uses_the_answer_as_typed();
    void delete_asks_first();
};

void TransferTest::drive_buttons_follow_drives_and_samdisk_size_data()
{
    QTest::addColumn<bool>("drive_a");
    QTest::addColumn<bool>("drive_b");
    QTest::addColumn<qint64>("size"); // -1: no SAMDisk setting
    QTest::addColumn<QStringList>("enabled");
    const QStringList all = {"grabAButton", "grabBButton", "writeAButton", "writeBButton"};
    QTest::newRow("both drives, 22000") << true << true << qint64(22000) << all;
    QTest::newRow("both drives, 25000") << true << true << qint64(25000) << all;
    QTest::newRow("21999") << true << true << qint64(21999) << QStringList();
    QTest::newRow("25001") << true << true << qint64(25001) << QStringList();
    QTest::newRow("no setting") << true << true << qint64(-1) << QStringList();
    QTest::newRow("only a:") << true << false << qint64(24000) << QStringList({"grabAButton", "writeAButton"});
    QTest::newRow("only b:") << false << true << qint64(24000) << QStringList({"grabBButton", "writeBButton"});
}

void TransferTest::drive_buttons_follow_drives_and_samdisk_size()
{
    QFETCH(bool, drive_a);
    QFETCH(bool, drive_b);
    QFETCH(qint64, size);
    QFETCH(QStringList, enabled);
    WindowFixture f;
    f.system.drive_a = drive_a;
    f.system.drive_b = drive_b;
    if (size >= 0)
        f.settings.SAMDisk = make_file(f, "samdisk.bin", size).toStdString();
    f.open();
    QCOMPARE(enabled_drive_buttons(f), enabled);
}

void TransferTest::grab_passes_the_drive_and_target()
{
    WindowFixture f;
    with_samdisk(f);
    QDir(f.folder()).mkdir("sub");
    f.open();
    f.pick(f.path("sub"));
    f.system.clock = 0;
    f.runner.set_duration(5000);
    f.requester.expect("save", f.path("new disc.mgt"));
    QTest::mouseClick(button(f, "grabAButton"), Qt::LeftButton);
    f.requester.expect("save", f.path("second.dsk"));
    QTest::mouseClick(button(f, "grabBButton"), Qt::LeftButton);

    QVERIFY(f.requester.unexpected().isEmpty());
    const auto& asked = f.requester.asked();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0].title, QString("Enter Save Filename"));
    QCOMPARE(asked[0].text, QString());
    QCOMPARE(asked[0].extra, QString("MGT Files|*.mgt|DSK Files|*.dsk"));
    QCOMPARE(asked[1].text, f.path("new disc.mgt")); // the last grab's file is proposed
    const auto& runs = f.runner.runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].program, '"' + f.path("samdisk") + '"');
    QCOMPARE(runs[0].arguments, "A: \"" + f.path("new disc.mgt") + "\" /E");
    QCOMPARE(runs[1].arguments, "B: \"" + f.path("second.dsk") + "\" /E");
    QVERIFY(runs[0].wait);
    // The browser is back at the folder that was selected when the grab began.
    QCOMPARE(QString::fromStdString(f.settings.Currentdir), f.path("sub") + "/");
    QCOMPARE(f.browser()->selected_path(), f.path("sub") + "/");
}

void TransferTest::cancelled_grab_starts_nothing()
{
    WindowFixture f;
    with_samdisk(f);
    f.open();
    f.runner.set_duration(5000);
    f.requester.expect("save", f.path("first.mgt"));
    QTest::mouseClick(button(f, "grabAButton"), Qt::LeftButton);
    f.requester.expect("save", "");
    QTest::mouseClick(button(f, "grabAButton"), Qt::LeftButton);
    f.requester.expect("save", "");
    QTest::mouseClick(button(f, "grabAButton"), Qt::LeftButton);
    QCOMPARE(f.runner.runs().size(), 1);
    QCOMPARE(f.requester.asked().value(2).text, f.path("first.mgt"));
    QVERIFY(f.requester.exhausted());
}

void TransferTest::hint_only_below_three_seconds()
{
    const QString hint = "If SamDisc2 does not start, you shall\nstart cmd with administrator privilegues and\n"
                         "use samdisk2.exe /install to activate the system driver";
    for (const auto& [duration, hinted] :
         std::vector<std::pair<qint64, bool>>{{2999, true}, {3000, false}, {0, true}}) {
        WindowFixture f;
        with_samdisk(f);
        f.write_image("d.mgt", ImageBuilder());
        f.open();
        f.pick(f.path("d.mgt"));
        f.runner.set_duration(duration);
        f.requester.expect("save", f.path("g.mgt"));
        if (hinted)
            f.requester.expect("message", "");
        QTest::mouseClick(button(f, "grabBButton"), Qt::LeftButton);
        f.pick(f.path("d.mgt")); // the grab left the browser at the folder
        f.requester.expect("yesno", "yes");
        if (hinted)
            f.requester.expect("message", "");
        QTest::mouseClick(button(f, "writeAButton"), Qt::LeftButton);
        QVERIFY2(f.requester.unexpected().isEmpty(), qPrintable(f.requester.unexpected().join(',')));
        QVERIFY(f.requester.exhausted());
        if (hinted) {
            QCOMPARE(f.requester.asked().value(1).title, QString("Hint"));
            QCOMPARE(f.requester.asked().value(1).text, hint);
        }
    }
}

void TransferTest::write_asks_then_runs_for_mgt_and_dsk_only()
{
    WindowFixture f;
    with_samdisk(f);
    f.write_image("Game.DSK", ImageBuilder());
    f.write_image("seq.img", ImageBuilder(image::Layout::Sequential));
    f.open();
    f.runner.set_duration(4000);

    f.pick(f.path("Game.DSK"));
    f.requester.expect("yesno", "no");
    QTest::mouseClick(button(f, "writeAButton"), Qt::LeftButton);
    QCOMPARE(f.runner.runs().size(), 0);

    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(f, "writeBButton"), Qt::LeftButton);
    QCOMPARE(f.runner.runs().size(), 1);
    QCOMPARE(f.runner.runs()[0].arguments, '"' + f.path("Game.DSK") + "\" B: /F /V");

    f.pick(f.path("seq.img"));
    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(f, "writeAButton"), Qt::LeftButton);
    QCOMPARE(f.runner.runs().size(), 1);
    QCOMPARE(f.window->findChild<QStatusBar*>("statusBar")->currentMessage(),
             QString("Only .mgt and .dsk images are written with SAMDisk"));

    const auto& asked = f.requester.asked();
    QCOMPARE(asked.size(), 3);
    QCOMPARE(asked[0].title, QString("Writing Image to real disc"));
    QCOMPARE(asked[0].text, QString("Please insert EMPTY disc into drive A: and press YES Button, to cancel press NO"));
    QCOMPARE(asked[1].text, QString("Please insert EMPTY disc into Drive B: and press YES Button, to cancel press NO"));
    QVERIFY(f.requester.unexpected().isEmpty());
}

void TransferTest::command_lines_quote_the_program()
{
    QCOMPARE(shell::command_line("C:/tools/samdisk.exe", "A: \"x.mgt\" /E"),
             QString("\"C:/tools/samdisk.exe\" A: \"x.mgt\" /E"));
    QCOMPARE(shell::command_line("\"/opt/sam disk\"", ""), QString("\"/opt/sam disk\""));
    QCOMPARE(shell::split_command_line("\"/opt/sam disk\" \"/a b/c.mgt\" A: /F /V"),
             QStringList({"/opt/sam disk", "/a b/c.mgt", "A:", "/F", "/V"}));
}

void TransferTest::stand_in_samdisk_receives_the_arguments()
{
    WindowFixture f;
    const QString log = f.path("args.log");
    f.settings.SAMDisk = write_stand_in_samdisk(f, log, "0").toStdString();
    f.write_image("my disc.mgt", ImageBuilder());
    platform::QtProcessRunner real_runner;
    f.window = std::make_unique<shell::MainWindow>(f.settings, f.settings_path(),
                                                   shell::Services{f.requester, real_runner, f.system}, f.pixels);
    f.window->show();
    f.pick(f.path("my disc.mgt"));
    f.requester.expect("yesno", "yes");
    f.requester.expect("message", ""); // the fake clock does not move: the run counts as too short
    QTest::mouseClick(button(f, "writeAButton"), Qt::LeftButton);
    QVERIFY(f.requester.exhausted());
    QCOMPARE(read_text(log), f.path("my disc.mgt") + "\nA:\n/F\n/V\n");
}

void TransferTest::stand_in_samdisk_on_the_real_clock()
{
    // The real clock, sped up twenty times: a run of 0.2 s measures 4 s, so the hint decision sees the time the
    // runner waited for the program to end without the test sleeping for over three seconds.
    class FastClock : public platform::QtSystemInfo
    {
    public:
        qint64 tick_count() override { return QtSystemInfo::tick_count() * 20; }
    };
    WindowFixture f;
    const QString log = f.path("args.log");
    f.settings.SAMDisk = write_stand_in_samdisk(f, log, "0.2").toStdString();
    platform::QtProcessRunner real_runner;
    FastClock clock;
    f.window = std::make_unique<shell::MainWindow>(f.settings, f.settings_path(),
                                                   shell::Services{f.requester, real_runner, clock}, f.pixels);
    f.window->show();
    f.wait_for_browser();
    // A run of more than three seconds brings no hint.
    f.requester.expect("save", f.path("grabbed.mgt"));
    f.window->grab_disc('B');
    QCOMPARE(read_text(log), "B:\n" + f.path("grabbed.mgt") + "\n/E\n");
}

void TransferTest::donate_and_web_open_addresses()
{
    WindowFixture f;
    f.open();
    // The project has no donation page yet: the button opens no address, and says where the README tells how to
    // support the project.
    f.requester.expect("message", "");
    QTest::mouseClick(button(f, "donateButton"), Qt::LeftButton);
    QVERIFY(f.runner.runs().isEmpty());
    const QString said = f.requester.asked().value(0).text;
    QVERIFY(said.startsWith("Kestrel has no donation page yet"));
    const QString readme = shell::readme_path();
    QVERIFY(said.endsWith(":\n" + readme));
    QFile file(readme);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\n## Supporting Kestrel\n"));

    QTimer::singleShot(0, [&] {
        auto* options = f.window->findChild<shell::OptionsWindow*>("optionsWindow");
        QVERIFY(options);
        QTest::mouseClick(options->findChild<QPushButton*>("webButton"), Qt::LeftButton);
        options->close();
    });
    QTest::mouseClick(button(f, "optionsButton"), Qt::LeftButton);
    QCOMPARE(f.runner.runs().size(), 1);
    QCOMPARE(f.runner.runs()[0].program, QString(shell::SAMDISK_ADDRESS));
    auto* status = f.window->findChild<QStatusBar*>("statusBar");
    QCOMPARE(status->currentMessage(), QString());

    // With no web browser, the main window's status bar gives the address.
    f.runner.starts = false;
    QTimer::singleShot(0, [&] {
        auto* options = f.window->findChild<shell::OptionsWindow*>("optionsWindow");
        QTest::mouseClick(options->findChild<QPushButton*>("webButton"), Qt::LeftButton);
        options->close();
    });
    QTest::mouseClick(button(f, "optionsButton"), Qt::LeftButton);
    QCOMPARE(status->currentMessage(),
             QString("No web browser could be started; the SAMDisk page is ") + shell::SAMDISK_ADDRESS);
}

void TransferTest::options_window_edits_the_settings()
{
    WindowFixture f;
    f.settings.BasStrip = 7;
    f.settings.SAMDisk = "/old/samdisk";
    f.open();

    // Opened and closed without a click: 7 stays.
    QTimer::singleShot(0, [&] {
        auto* options = f.window->findChild<shell::OptionsWindow*>("optionsWindow");
        QVERIFY(options);
        QCOMPARE(options->windowTitle(), QString("Kestrel Options"));
        QCOMPARE(options->size(), QSize(325, 100));
        auto* check = options->findChild<QCheckBox*>("rewriteCheck");
        QVERIFY(check->isChecked());
        QCOMPARE(check->text(), QString("Modify BASIC Loader"));
        QCOMPARE(check->toolTip(), QString("Change loading/saving syntax in BASIC parts automaticaly"));
        QCOMPARE(options->findChild<QLineEdit*>("samdiskPath")->geometry(), QRect(70, 5, 180, 19));
        QCOMPARE(options->findChild<QLineEdit*>("samdiskPath")->text(), QString("/old/samdisk"));
        options->close();
    });
    QTest::mouseClick(button(f, "optionsButton"), Qt::LeftButton);
    QCOMPARE(f.settings.BasStrip, 7);

    // Clicks store 0 and 1; a cancelled browse changes nothing; a chosen file shows at once.
    f.requester.expect("open", "");
    f.requester.expect("open", "/new/samdisk");
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* options = f.window->findChild<shell::OptionsWindow*>("optionsWindow");
        auto* check = options->findChild<QCheckBox*>("rewriteCheck");
        QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(f.settings.BasStrip, 0);
        QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(f.settings.BasStrip, 1);
        QTest::mouseClick(check, Qt::LeftButton);
        auto* browse = options->findChild<QPushButton*>("browseButton");
        QTest::mouseClick(browse, Qt::LeftButton);
        QCOMPARE(f.settings.SAMDisk, std::string("/old/samdisk"));
        QTest::mouseClick(browse, Qt::LeftButton);
        shown = options->findChild<QLineEdit*>("samdiskPath")->text();
        options->close();
    });
    QTest::mouseClick(button(f, "optionsButton"), Qt::LeftButton);
    QCOMPARE(f.settings.BasStrip, 0);
    QCOMPARE(shown, QString("/new/samdisk"));
    QCOMPARE(f.settings.SAMDisk, std::string("/new/samdisk"));
    QCOMPARE(f.requester.asked().value(0).title, QString("Select SAMDisk file"));
    QCOMPARE(f.requester.asked().value(0).text, QString("/old/samdisk"));
    QCOMPARE(f.requester.asked().value(0).extra, QString("Executable Files|*.exe|All Files|*"));
    QCOMPARE(f.requester.asked().value(0).selected_filter, QString("All Files")); // programs here have no .exe

    // Typed text is taken over when the window closes, by Escape as by its close box.
    bool closed_by_escape = false;
    QTimer::singleShot(0, [&] {
        auto* options = f.window->findChild<shell::OptionsWindow*>("optionsWindow");
        auto* field = options->findChild<QLineEdit*>("samdiskPath");
        field->clear();
        QTest::keyClicks(field, "/typed/samdisk");
        QTest::keyClick(field, Qt::Key_Escape);
        closed_by_escape = !options->isVisible();
        options->close();
    });
    QTest::mouseClick(button(f, "optionsButton"), Qt::LeftButton);
    QVERIFY(closed_by_escape);
    QCOMPARE(f.settings.SAMDisk, std::string("/typed/samdisk"));
    // The drive buttons keep the state of the start.
    QVERIFY(!button(f, "grabAButton")->isEnabled());
}

void TransferTest::samdisk_requester_opens_on_the_chosen_filter()
{
    platform::QtRequester requester;
    QString chosen;
    QStringList offered;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(window); dialog && dialog->isVisible()) {
                chosen = dialog->selectedNameFilter();
                offered = dialog->nameFilters();
                dialog->reject();
            }
        }
    });
    QCOMPARE(requester.ask_open_file("Select SAMDisk file", "", "Executable Files|*.exe|All Files|*", "All Files"),
             QString());
    QCOMPARE(offered, QStringList({"Executable Files (*.exe)", "All Files (*)"}));
    QCOMPARE(chosen, QString("All Files (*)"));
}

void TransferTest::close_request_while_options_are_open_closes_them()
{
    WindowFixture f;
    f.open();
    bool options_closed = false;
    QTimer::singleShot(0, [&] {
        auto* options = f.window->findChild<shell::OptionsWindow*>("optionsWindow");
        QVERIFY(options);
        f.window->close();
        options_closed = !options->isVisible();
    });
    QTest::mouseClick(button(f, "optionsButton"), Qt::LeftButton);
    QVERIFY(options_closed);
    QVERIFY(f.window->isVisible());
}

void TransferTest::rename_uses_the_answer_as_typed()
{
    WindowFixture f;
    f.write_image("old.mgt", ImageBuilder());
    f.write_image("taken.mgt", ImageBuilder());
    QDir(f.folder()).mkdir("sub");
    f.open();

    f.pick(f.path("old.mgt"));
    f.requester.expect("text", "new.dsk");
    f.window->rename_image_file();
    QCOMPARE(f.requester.asked().value(0).title, QString("Rename file"));
    QCOMPARE(f.requester.asked().value(0).text, QString("Please enter new file name"));
    QCOMPARE(f.requester.asked().value(0).extra, QString("old.mgt"));
    QVERIFY(!QFile::exists(f.path("old.mgt")));
    QVERIFY(QFile::exists(f.path("new.dsk")));
    // The renamed image stays selected.
    QCOMPARE(f.browser()->selected_path(), f.path("new.dsk"));
    QCOMPARE(QString::fromStdString(f.window->current_image_path()), f.path("new.dsk"));

    // An existing target is never replaced: the requester opens again on the name, until Escape.
    f.requester.expect("text", "taken.mgt");
    f.requester.expect("message", "");
    f.requester.expect("text", "");
    f.window->rename_image_file();
    QCOMPARE(f.requester.asked().value(3).extra, QString("taken.mgt"));
    QVERIFY(QFile::exists(f.path("new.dsk")));
    QCOMPARE(testing_support::read_file(f.path("taken.mgt").toStdString()).size(), std::size_t(819200));
    QCOMPARE(QString::fromStdString(f.window->current_image_path()), f.path("new.dsk"));

    // A relative folder in the answer moves the file there.
    f.pick(f.path("new.dsk"));
    f.requester.expect("text", "sub/moved.mgt");
    f.window->rename_image_file();
    QVERIFY(QFile::exists(f.path("sub/moved.mgt")));

    // A folder is not renamed: nothing is asked.
    f.pick(f.path("sub"));
    const auto asked = f.requester.asked().size();
    f.window->rename_image_file();
    QCOMPARE(f.requester.asked().size(), asked);
    QVERIFY(QDir(f.path("sub")).exists());
    QVERIFY(!QFile::exists(f.path("sub/other")));
    QVERIFY(f.requester.unexpected().isEmpty());
}

void TransferTest::delete_asks_first()
{
    WindowFixture f;
    f.write_image("gone.mgt", ImageBuilder());
    f.open();
    f.pick(f.path("gone.mgt"));
    f.requester.expect("yesno", "no");
    f.window->delete_image_file();
    QVERIFY(QFile::exists(f.path("gone.mgt")));
    QCOMPARE(f.requester.asked().value(0).title, QString("Are you sure?"));
    QCOMPARE(f.requester.asked().value(0).text,
             "Deleting " + f.path("gone.mgt") + "\n\nIt goes to the trash, from where it can be restored.");
    QCOMPARE(f.requester.asked().value(0).extra, QString("preset No"));
    QCOMPARE(f.browser()->selected_path(), f.path("gone.mgt"));

    f.pick(f.path("gone.mgt"));
    f.requester.expect("yesno", "yes");
    f.window->delete_image_file();
    QVERIFY(!QFile::exists(f.path("gone.mgt")));
    QVERIFY(f.requester.unexpected().isEmpty());
}

QTEST_MAIN(TransferTest)
#include "transfer_test.moc"
