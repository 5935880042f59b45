// The built-in floppy transfer in the window: the progress window over a drive held in memory (progress, errors,
// Cancel, closing), and the drive buttons when SAMDisk is not set up.
#include "window_fixture.h"

#include "shell/modal.h"
#include "shell/transfer_window.h"
#include "support/memory_drive.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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

} // namespace

class DriveTransferTest : public QObject
{
    Q_OBJECT
private slots:
    void window_shows_progress_and_cancels();
    void closing_the_window_cancels_the_transfer();
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

QTEST_MAIN(DriveTransferTest)
#include "drive_transfer_test.moc"
