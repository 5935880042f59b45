// The built-in floppy transfer in the window: the progress window over a drive held in memory (progress, errors,
// Cancel, closing), and the drive buttons when SAMDisk is not set up.
#include "window_fixture.h"

#include "shell/modal.h"
#include "shell/transfer_window.h"
#include "support/memory_drive.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

using testing_support::ImageBuilder;
using testing_support::MemoryDrive;
using testing_support::WindowFixture;

namespace {

// A drive the test keeps: the window's transfer borrows it.
class BorrowedDrive : public transfer::Drive
{
public:
    explicit BorrowedDrive(MemoryDrive& drive) : m_drive(drive) {}
    transfer::DriveResult read_sector(int track, int side, int sector, image::SectorSpan out) override
    {
        return m_drive.read_sector(track, side, sector, out);
    }
    transfer::DriveResult format_track(int track, int side) override { return m_drive.format_track(track, side); }
    transfer::DriveResult write_sector(int track, int side, int sector, image::SectorView data) override
    {
        return m_drive.write_sector(track, side, sector, data);
    }
    transfer::DriveResult close() override { return m_drive.close(); }

private:
    MemoryDrive& m_drive;
};

class FakeDrives : public shell::DriveAccess
{
public:
    bool available = true;
    MemoryDrive* drive = nullptr; // nullptr: the drive cannot be opened
    QList<char> opened;

    bool is_available() override { return available; }
    transfer::OpenedDrive open_drive(char letter) override
    {
        opened << letter;
        if (!drive)
            return {nullptr, "No such device"};
        return {std::make_unique<BorrowedDrive>(*drive), {}};
    }
};

// Lets a held drive go on however the test's checks end, so that a failed check cannot leave the transfer waiting.
struct ReleaseAtEnd
{
    MemoryDrive& drive;
    ~ReleaseAtEnd() { drive.release(); }
};

// The window the progress window opens over. run_modal drops the input of the windows open before it, and of
// every window when none was open, as it never is in the program.
struct Owner : QWidget
{
    Owner() { show(); }
};

QString label_text(const QWidget& window, const char* name)
{
    return window.findChild<QLabel*>(name)->text();
}

QPushButton* button(const WindowFixture& f, const char* name)
{
    return f.window->findChild<QPushButton*>(name);
}

// The main window with the drives of the test (WindowFixture::open gives it none).
void open_with(WindowFixture& f, FakeDrives& drives)
{
    f.window = std::make_unique<shell::MainWindow>(f.settings, f.settings_path(),
                                                   shell::Services{f.requester, f.runner, f.system, drives}, f.pixels);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.wait_for_browser();
}

ImageBuilder image_with_files(image::Layout layout)
{
    ImageBuilder builder(layout);
    std::vector<std::uint8_t> data(20000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 13);
    builder.add_zx_file(0, 4, "code", data, 32768);
    return builder;
}

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

} // namespace

class DriveTransferTest : public QObject
{
    Q_OBJECT
private slots:
    void window_shows_progress_and_cancels();
    void closing_the_window_cancels_the_transfer();
    void drive_buttons_without_samdisk_data();
    void drive_buttons_without_samdisk();
    void grab_reads_the_drive_into_the_chosen_file();
    void closing_the_main_window_cancels_a_grab();
    void write_puts_the_selected_image_on_the_disc();
    void usable_samdisk_keeps_the_buttons_on_samdisk();
};

void DriveTransferTest::window_shows_progress_and_cancels()
{
    MemoryDrive drive;
    drive.fail_reads({1, 0, 3});
    drive.hold_at(3, 0);
    transfer::ReadReport report;
    Owner owner;
    shell::TransferWindow window(
        "Reading drive A:",
        [&](const transfer::Hooks& hooks) { report = transfer::read_disc(drive, image::Layout::Interleaved, hooks); },
        &owner);
    QString track;
    QString errors;
    QTimer::singleShot(0, [&] {
        ReleaseAtEnd release{drive};
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(drive.is_held());
        QTRY_COMPARE(label_text(window, "trackLabel"), QString("Track 3 side 0 (6 of 160 done)"));
        errors = label_text(window, "errorsLabel");
        QCOMPARE(window.findChild<QProgressBar*>("transferProgress")->value(), 6);
        auto* cancel = window.findChild<QPushButton*>("cancelButton");
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!cancel->isEnabled());
    });
    shell::run_modal(window);
    QCOMPARE(errors, QString("Errors so far: 1"));
    QVERIFY(window.cancel_requested());
    QVERIFY(!window.isVisible());
    QCOMPARE(report.outcome, transfer::Outcome::Cancelled);
    // The held track was read to its end; the next one was not begun.
    QCOMPARE(report.tracks_done, 7);
    QCOMPARE(drive.reads_of({3, 1, 1}), 0);
}

void DriveTransferTest::closing_the_window_cancels_the_transfer()
{
    MemoryDrive drive;
    drive.hold_at(0, 1);
    transfer::WriteReport report;
    image::RawImage source(std::make_unique<image::MemoryBytes>(ImageBuilder().bytes()), image::Layout::Interleaved);
    shell::TransferWindow window(
        "Writing drive B:", [&](const transfer::Hooks& hooks) { report = transfer::write_disc(drive, source, hooks); },
        nullptr);
    bool stayed_open = false;
    QTimer::singleShot(0, [&] {
        ReleaseAtEnd release{drive};
        QTRY_VERIFY(drive.is_held());
        window.close();
        stayed_open = window.isVisible();
    });
    shell::run_modal(window);
    QVERIFY(stayed_open);
    QCOMPARE(QString::fromStdString(transfer::write_summary(report)),
             QString("cancelled; tracks written: track 0 side 0 to track 0 side 1 (2 of 160)"));
}

void DriveTransferTest::drive_buttons_without_samdisk_data()
{
    QTest::addColumn<bool>("drive_a");
    QTest::addColumn<bool>("drive_b");
    QTest::addColumn<bool>("transfer");
    QTest::addColumn<qint64>("samdisk_size"); // -1: no SAMDisk setting
    QTest::addColumn<QStringList>("enabled");
    const QStringList all = {"grabAButton", "grabBButton", "writeAButton", "writeBButton"};
    QTest::newRow("both drives") << true << true << true << qint64(-1) << all;
    QTest::newRow("SAMDisk of a wrong size") << true << true << true << qint64(21999) << all;
    QTest::newRow("only b:") << false << true << true << qint64(-1) << QStringList({"grabBButton", "writeBButton"});
    QTest::newRow("no built-in transfer") << true << true << false << qint64(-1) << QStringList();
}

void DriveTransferTest::drive_buttons_without_samdisk()
{
    QFETCH(bool, drive_a);
    QFETCH(bool, drive_b);
    QFETCH(bool, transfer);
    QFETCH(qint64, samdisk_size);
    QFETCH(QStringList, enabled);
    WindowFixture f;
    f.system.drive_a = drive_a;
    f.system.drive_b = drive_b;
    if (samdisk_size >= 0) {
        QFile file(f.path("samdisk"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(samdisk_size, 'x'));
        f.settings.SAMDisk = file.fileName().toStdString();
    }
    FakeDrives drives;
    drives.available = transfer;
    open_with(f, drives);
    QStringList names;
    for (const char* name : {"grabAButton", "grabBButton", "writeAButton", "writeBButton"}) {
        if (button(f, name)->isEnabled())
            names << name;
    }
    QCOMPARE(names, enabled);
}

void DriveTransferTest::grab_reads_the_drive_into_the_chosen_file()
{
    WindowFixture f;
    QDir(f.folder()).mkdir("sub");
    MemoryDrive drive(image_with_files(image::Layout::Interleaved).bytes());
    FakeDrives drives;
    drives.drive = &drive;
    open_with(f, drives);
    f.pick(f.path("sub"));
    const QString target = f.path("copy.img");
    f.requester.expect("save", target);
    QTest::mouseClick(button(f, "grabBButton"), Qt::LeftButton);
    QCOMPARE(drives.opened, QList<char>{'B'});
    QVERIFY(f.runner.runs().isEmpty());
    const auto expected = image_with_files(image::Layout::Sequential).bytes();
    QVERIFY(testing_support::read_file(target.toStdString()) == expected);
    QCOMPARE(f.pane_lines(), QStringList{"Drive B: read into " + target});
    QCOMPARE(status_text(f), "Drive B: read into " + target);
    QCOMPARE(f.browser()->selected_path(), f.path("sub") + "/");

    // A damaged disc: the file is replaced only after both questions are answered yes.
    drive.fail_reads({0, 0, 1});
    for (const QString keep : {"no", "yes"}) {
        f.requester.expect("save", target);
        f.requester.expect("yesno", "yes");
        f.requester.expect("yesno", keep);
        QTest::mouseClick(button(f, "grabBButton"), Qt::LeftButton);
        const QString last = keep == "yes" ? "Drive B: read into " + target : QString("No image written");
        QCOMPARE(f.pane_lines(), QStringList({"track 0 side 0 sector 1 unreadable", last}));
        const auto bytes = testing_support::read_file(target.toStdString());
        QCOMPARE(bytes[0] == 0, keep == "yes");
    }
    const auto& asked = f.requester.asked();
    QCOMPARE(asked[2].title, QString("File exists"));
    QCOMPARE(asked[3].title, QString("Damaged disc"));
    QCOMPARE(
        asked[3].text,
        QString("Sectors that could not be read: 1. They are zeros in the image.\nDo you want to keep the image?"));
}

void DriveTransferTest::closing_the_main_window_cancels_a_grab()
{
    WindowFixture f;
    MemoryDrive drive;
    drive.hold_at(2, 0);
    FakeDrives drives;
    drives.drive = &drive;
    open_with(f, drives);
    f.requester.expect("save", f.path("never.mgt"));
    QTimer::singleShot(0, [&] {
        ReleaseAtEnd release{drive};
        QTRY_VERIFY(drive.is_held());
        f.window->close();
    });
    QTest::mouseClick(button(f, "grabAButton"), Qt::LeftButton);
    QVERIFY(f.window->isVisible());
    QCOMPARE(f.pane_lines(), QStringList{"Drive A: reading cancelled; no image written"});
    QCOMPARE(QDir(f.folder()).entryList(QDir::Files), QStringList());
}

void DriveTransferTest::write_puts_the_selected_image_on_the_disc()
{
    WindowFixture f;
    const auto bytes = image_with_files(image::Layout::Interleaved).bytes();
    f.write_image("Game.MGT", image_with_files(image::Layout::Interleaved));
    f.write_image("seq.img", image_with_files(image::Layout::Sequential));
    MemoryDrive drive;
    FakeDrives drives;
    drives.drive = &drive;
    open_with(f, drives);

    f.pick(f.path("Game.MGT"));
    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(f, "writeAButton"), Qt::LeftButton);
    QVERIFY(drive.disc() == bytes);
    QCOMPARE(f.pane_lines().last(), QString("Drive A: 160 tracks written and verified"));
    QVERIFY(testing_support::read_file(f.path("Game.MGT").toStdString()) == bytes);
    QCOMPARE(f.requester.asked().value(0).text,
             QString("Please insert EMPTY disc into drive A: and press YES Button, to cancel press NO"));

    // As with SAMDisk, only .mgt and .dsk images are written.
    f.pick(f.path("seq.img"));
    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(f, "writeBButton"), Qt::LeftButton);
    QCOMPARE(drives.opened, QList<char>{'A'});

    drives.drive = nullptr;
    f.pick(f.path("Game.MGT"));
    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(f, "writeBButton"), Qt::LeftButton);
    QCOMPARE(f.pane_lines().last(), QString("Drive B: cannot be opened: No such device"));
}

void DriveTransferTest::usable_samdisk_keeps_the_buttons_on_samdisk()
{
    WindowFixture f;
    QFile samdisk(f.path("samdisk"));
    QVERIFY(samdisk.open(QIODevice::WriteOnly));
    samdisk.write(QByteArray(23000, 'x'));
    samdisk.close();
    f.settings.SAMDisk = samdisk.fileName().toStdString();
    MemoryDrive drive;
    FakeDrives drives;
    drives.drive = &drive;
    open_with(f, drives);
    f.runner.set_duration(5000);
    f.requester.expect("save", f.path("grab.mgt"));
    QTest::mouseClick(button(f, "grabAButton"), Qt::LeftButton);
    QCOMPARE(f.runner.runs().size(), 1);
    QCOMPARE(f.runner.runs()[0].arguments, "A: \"" + f.path("grab.mgt") + "\" /E");
    QVERIFY(drives.opened.isEmpty());
}

QTEST_MAIN(DriveTransferTest)
#include "drive_transfer_test.moc"
