// The drive buttons without SAMDisk, over a drive held in memory: reads and writes with the progress window
// (track, errors so far, Cancel), and SAMDisk still used where it is set up.
#include "window_fixture.h"

#include "shell/transfer_window.h"
#include "support/dsk_builder.h"
#include "support/memory_drive.h"

#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

using testing_support::ImageBuilder;
using testing_support::MemoryDrive;
using testing_support::WindowFixture;

namespace {

// The drives of the test: each transfer borrows the one MemoryDrive, which the test keeps.
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
        return {std::make_unique<Borrowed>(*drive), {}};
    }

private:
    struct Borrowed : transfer::Drive
    {
        explicit Borrowed(MemoryDrive& d) : m(d) {}
        transfer::DriveResult read_sector(int t, int s, int n, image::SectorSpan out) override
        {
            return m.read_sector(t, s, n, out);
        }
        transfer::DriveResult format_track(int t, int s) override { return m.format_track(t, s); }
        transfer::DriveResult write_sector(int t, int s, int n, image::SectorView data) override
        {
            return m.write_sector(t, s, n, data);
        }
        MemoryDrive& m;
    };
};

// Lets a held drive go on however the checks end, so that a failed check cannot leave the transfer waiting.
struct ReleaseAtEnd
{
    MemoryDrive& drive;
    ~ReleaseAtEnd() { drive.release(); }
};

QPushButton* button(const QWidget& window, const char* name)
{
    return window.findChild<QPushButton*>(name);
}

// The main window with the test's drives (WindowFixture::open gives it none).
void open_with(WindowFixture& f, FakeDrives& drives)
{
    f.window = std::make_unique<shell::MainWindow>(f.settings, f.settings_path(),
                                                   shell::Services{f.requester, f.runner, f.system, drives}, f.pixels);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.wait_for_browser();
}

ImageBuilder image_with_a_file(image::Layout layout)
{
    ImageBuilder builder(layout);
    std::vector<std::uint8_t> data(20000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 13 + 1);
    builder.add_zx_file(0, 4, "code", data, 32768);
    return builder;
}

} // namespace

class DriveTransferTest : public QObject
{
    Q_OBJECT
private slots:
    void grab_reads_the_drive_into_the_chosen_file();
    void progress_window_shows_the_track_and_cancels();
    void write_puts_any_image_on_the_disc_unless_it_lacks_sectors();
    void samdisk_set_up_keeps_the_buttons_on_samdisk();
};

void DriveTransferTest::grab_reads_the_drive_into_the_chosen_file()
{
    WindowFixture f;
    QDir(f.folder()).mkdir("sub");
    MemoryDrive drive(image_with_a_file(image::Layout::Interleaved).bytes());
    FakeDrives drives;
    drives.drive = &drive;
    f.system.drive_a = false;
    open_with(f, drives);
    QVERIFY(!button(*f.window, "grabAButton")->isEnabled());
    QVERIFY(button(*f.window, "writeBButton")->isEnabled());
    f.pick(f.path("sub"));
    const QString target = f.path("copy.img");
    f.requester.expect("save", target);
    QTest::mouseClick(button(*f.window, "grabBButton"), Qt::LeftButton);
    QCOMPARE(drives.opened, QList<char>{'B'});
    QVERIFY(testing_support::read_file(target.toStdString()) == image_with_a_file(image::Layout::Sequential).bytes());
    QCOMPARE(f.pane_lines(), QStringList{"Drive B: read into " + target});
    QCOMPARE(f.window->findChild<QStatusBar*>("statusBar")->currentMessage(), "Drive B: read into " + target);
    QCOMPARE(f.browser()->selected_path(), f.path("sub") + "/");

    // A damaged disc: the file is replaced only when both questions are answered yes; the words are kestrel-cli's.
    drive.read_faults[{0, 0, 1}] = -1;
    for (const QString keep : {"no", "yes"}) {
        f.requester.expect("save", target);
        f.requester.expect("yesno", "yes");
        f.requester.expect("yesno", keep);
        QTest::mouseClick(button(*f.window, "grabBButton"), Qt::LeftButton);
        const QString last = target + (keep == "yes" ? ": written with 1 unreadable sector as zeros"
                                                     : ": not written: 1 unreadable sector");
        QCOMPARE(f.pane_lines(), QStringList({"track 0 side 0 sector 1 unreadable", last}));
        QCOMPARE(testing_support::read_file(target.toStdString())[0] == 0, keep == "yes");
    }
    QCOMPARE(f.requester.asked()[2].title, QString("File exists"));
    QCOMPARE(
        f.requester.asked()[3].text,
        QString("Sectors that could not be read: 1. They are zeros in the image.\nDo you want to keep the image?"));
}

void DriveTransferTest::progress_window_shows_the_track_and_cancels()
{
    // Cancel, or a close request for the main window while the transfer runs: either leaves no file behind.
    for (const bool by_close : {false, true}) {
        WindowFixture f;
        MemoryDrive drive;
        drive.read_faults[{1, 0, 3}] = -1;
        drive.hold_at(3, 0);
        FakeDrives drives;
        drives.drive = &drive;
        open_with(f, drives);
        f.requester.expect("save", f.path("never.mgt"));
        QString errors;
        QTimer::singleShot(0, [&] {
            ReleaseAtEnd release{drive};
            auto* window = f.window->findChild<shell::TransferWindow*>("transferWindow");
            QVERIFY(window);
            QCOMPARE(window->windowTitle(), QString("Reading drive A:"));
            QTRY_VERIFY(drive.is_held());
            QTRY_COMPARE(window->findChild<QLabel*>("trackLabel")->text(), QString("Track 3 side 0 (6 of 160 done)"));
            errors = window->findChild<QLabel*>("errorsLabel")->text();
            QCOMPARE(window->findChild<QProgressBar*>("transferProgress")->value(), 6);
            if (by_close)
                f.window->close();
            else
                QTest::mouseClick(button(*window, "cancelButton"), Qt::LeftButton);
            QVERIFY(window->isVisible());
        });
        QTest::mouseClick(button(*f.window, "grabAButton"), Qt::LeftButton);
        QCOMPARE(errors, QString("Errors so far: 1"));
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.pane_lines(),
                 QStringList({"track 1 side 0 sector 3 unreadable", "Drive A: cancelled; no image written"}));
        QCOMPARE(QDir(f.folder()).entryList(QDir::Files), QStringList());
        // The held track was read to its end, the next one not begun.
        QCOMPARE((drive.reads[{3, 1, 1}]), 0);
    }
}

void DriveTransferTest::write_puts_any_image_on_the_disc_unless_it_lacks_sectors()
{
    WindowFixture f;
    const auto bytes = image_with_a_file(image::Layout::Interleaved).bytes();
    f.write_image("Game.MGT", image_with_a_file(image::Layout::Interleaved));
    f.write_image("held.mgt", image_with_a_file(image::Layout::Interleaved));
    const auto sequential = image_with_a_file(image::Layout::Sequential).bytes();
    testing_support::write_file(f.path("seq.img").toStdString(), sequential);
    std::vector<std::uint8_t> sad = {'A', 'l', 'e', 'y', '\'', 's', ' ', 'd', 'i', 's', 'k',
                                     ' ', 'b', 'a', 'c', 'k',  'u', 'p', 2,   80,  10,  512 / 64};
    sad.insert(sad.end(), sequential.begin(), sequential.end());
    testing_support::write_file(f.path("disc.sad").toStdString(), sad);
    QCOMPARE(QProcess::execute("zip", {"-q", "-j", f.path("packed.zip"), f.path("seq.img")}), 0);
    testing_support::write_file(f.path("damaged.dsk").toStdString(),
                                testing_support::DskBuilder().ids(0, 1, {1, 3, 4, 5, 6, 7, 8, 9, 10}).build(bytes));
    f.settings.SAMDisk = "/no/samdisk";
    MemoryDrive drive;
    FakeDrives drives;
    drives.drive = &drive;
    open_with(f, drives);

    // The layout comes from the image, not from its name.
    for (const char* name : {"Game.MGT", "seq.img", "disc.sad", "packed.zip"}) {
        drive.disc.assign(bytes.size(), 0);
        f.pick(f.path(name));
        f.requester.expect("yesno", "yes");
        QTest::mouseClick(button(*f.window, "writeAButton"), Qt::LeftButton);
        QVERIFY2(drive.disc == bytes, name);
        QCOMPARE(f.pane_lines().last(), QString("Drive A: 160 tracks written and verified"));
    }
    QVERIFY(testing_support::read_file(f.path("Game.MGT").toStdString()) == bytes);
    QVERIFY(f.runner.runs().isEmpty());

    // The disc is written from a copy taken at the start: the file may change meanwhile.
    drive.disc.assign(bytes.size(), 0);
    drive.hold_at(3, 0);
    f.pick(f.path("held.mgt"));
    f.requester.expect("yesno", "yes");
    QTimer::singleShot(0, [&] {
        ReleaseAtEnd release{drive};
        QTRY_VERIFY(drive.is_held());
        testing_support::write_file(f.path("held.mgt").toStdString(), std::vector<std::uint8_t>(bytes.size(), 0x77));
    });
    QTest::mouseClick(button(*f.window, "writeAButton"), Qt::LeftButton);
    QVERIFY(drive.disc == bytes);

    // A damaged image is refused before the question, with the sectors it lacks.
    const int asked = static_cast<int>(f.requester.asked().size());
    f.pick(f.path("damaged.dsk"));
    QTest::mouseClick(button(*f.window, "writeBButton"), Qt::LeftButton);
    const QString refusal =
        f.path("damaged.dsk") + ": not written to the disc: the image lacks 1 sector: track 0 side 1 sector 2";
    QCOMPARE(f.pane_lines().last(), refusal);
    QCOMPARE(f.window->findChild<QStatusBar*>("statusBar")->currentMessage(), refusal);
    QCOMPARE(static_cast<int>(f.requester.asked().size()), asked);

    drives.drive = nullptr;
    f.pick(f.path("Game.MGT"));
    f.requester.expect("yesno", "yes");
    QTest::mouseClick(button(*f.window, "writeBButton"), Qt::LeftButton);
    QCOMPARE(drives.opened, QList<char>({'A', 'A', 'A', 'A', 'A', 'B'}));
    QCOMPARE(f.pane_lines().last(), QString("Drive B: cannot be opened: No such device"));
    QVERIFY(f.requester.unexpected().isEmpty());
}

void DriveTransferTest::samdisk_set_up_keeps_the_buttons_on_samdisk()
{
    WindowFixture f;
    f.settings.SAMDisk = f.path("samdisk").toStdString();
    testing_support::write_file(f.settings.SAMDisk, std::vector<std::uint8_t>(23000));
    MemoryDrive drive;
    FakeDrives drives;
    drives.drive = &drive;
    open_with(f, drives);
    f.runner.set_duration(5000);
    f.requester.expect("save", f.path("grab.mgt"));
    QTest::mouseClick(button(*f.window, "grabAButton"), Qt::LeftButton);
    QCOMPARE(f.runner.runs().size(), 1);
    QVERIFY(drives.opened.isEmpty());
}

QTEST_MAIN(DriveTransferTest)
#include "drive_transfer_test.moc"
