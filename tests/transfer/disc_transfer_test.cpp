// Whole-disc reads and writes against a drive held in memory: track order and reports, retries of damaged
// sectors, drive failures, read-back checks and cancelling. The layouts are judged through libdsk in
// tests/cli/disc_command_test.cpp.
#include "transfer/disc_transfer.h"

#include "support/memory_drive.h"

#include <gtest/gtest.h>

using testing_support::MemoryDrive;
using transfer::Outcome;

namespace {

// A disc whose every sector differs from every other one.
std::vector<std::uint8_t> patterned_disc()
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(image::IMAGE_BYTES));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i / image::SECTOR_SIZE) * 7 + i);
    return bytes;
}

// Records the reports, and cancels once `after` tracks were announced (never when negative).
struct Recorder
{
    int after = -1;
    std::vector<transfer::Progress> seen;
    transfer::Hooks hooks()
    {
        return {[this](const transfer::Progress& p) { seen.push_back(p); },
                [this] {
                    return after >= 0 && static_cast<int>(seen.size()) >= after;
                }};
    }
};

} // namespace

TEST(ReadDisc, TracksGoCylinderByCylinderAndDamagedSectorsAreTriedFiveTimes)
{
    // Failing reads of track 3 side 1 sector 7, the reads made, and whether it ends unreadable.
    for (const auto& [failures, reads, unreadable] :
         {std::tuple{1, 2, false}, {4, 5, false}, {5, 5, true}, {-1, 5, true}}) {
        SCOPED_TRACE(failures);
        MemoryDrive drive(patterned_disc());
        drive.read_faults[{3, 1, 7}] = failures;
        Recorder recorder;
        const auto report = transfer::read_disc(drive, image::Layout::Interleaved, recorder.hooks());
        ASSERT_EQ(report.outcome, Outcome::Done);
        EXPECT_EQ((drive.reads[{3, 1, 7}]), reads);
        ASSERT_EQ(recorder.seen.size(), 160u);
        const auto& p = recorder.seen[159];
        EXPECT_EQ((std::tuple{p.track, p.side, p.tracks_done, p.errors}), (std::tuple{79, 1, 159, unreadable ? 1 : 0}));
        EXPECT_EQ(recorder.seen[1].side, 1);
        auto expected = patterned_disc();
        if (unreadable) {
            ASSERT_EQ(report.unreadable.size(), 1u);
            EXPECT_EQ(transfer::unreadable_text(report.unreadable[0]), "track 3 side 1 sector 7 unreadable");
            std::fill_n(expected.begin() + image::sector_offset(image::Layout::Interleaved, 0x83, 6), 512, 0);
        }
        EXPECT_EQ(report.image, expected);
    }
}

TEST(ReadDisc, DriveFailureOrCancelStopsWithoutAnImage)
{
    MemoryDrive failing(patterned_disc());
    failing.failing_from = 15;
    const auto failed = transfer::read_disc(failing, image::Layout::Sequential);
    EXPECT_EQ(failed.outcome, Outcome::Failed);
    EXPECT_EQ(failed.failure,
              "track 7 side 1 sector 1: the drive is not ready (is there a disc in it?): stand-in failure");
    EXPECT_TRUE(failed.image.empty());

    MemoryDrive drive;
    drive.read_faults[{1, 1, 1}] = -1;
    Recorder recorder{4, {}};
    const auto cancelled = transfer::read_disc(drive, image::Layout::Interleaved, recorder.hooks());
    EXPECT_EQ(cancelled.outcome, Outcome::Cancelled);
    EXPECT_EQ(cancelled.tracks_done, 3); // the cancel came between two tries of the damaged sector
    EXPECT_EQ((drive.reads[{1, 1, 1}]), 1);
    EXPECT_TRUE(cancelled.image.empty());
}

TEST(WriteDisc, EveryTrackIsReadBackAndAStopSaysHowFarTheWriteCame)
{
    struct Case
    {
        int bad_writes;   // of track 2 side 1 sector 4; -1: every one
        int failing_from; // a write-protected disc from this track index on
        int cancel_after; // tracks
        std::string summary;
        int formats;
    };
    const auto bytes = patterned_disc();
    for (const Case& c : std::vector<Case>{
             {1, -1, -1, "160 tracks written and verified", 161}, // the track is written again
             {-1, -1, -1,
              "track 2 side 1 sector 4: does not read back as written; "
              "tracks written: track 0 side 0 to track 2 side 0 (5 of 160)",
              5 + transfer::WRITE_ATTEMPTS},
             {0, 0, -1, "track 0 side 0: the disc is write-protected: stand-in failure; no track was written", 1},
             {0, -1, 4, "cancelled; tracks written: track 0 side 0 to track 1 side 1 (4 of 160)", 4}}) {
        image::RawImage source(std::make_unique<image::MemoryBytes>(bytes), image::Layout::Interleaved);
        MemoryDrive drive;
        drive.write_faults[{2, 1, 4}] = c.bad_writes;
        drive.failing_from = c.failing_from;
        drive.failure = transfer::DriveStatus::WriteProtected;
        Recorder recorder{c.cancel_after, {}};
        EXPECT_EQ(transfer::write_summary(transfer::write_disc(drive, source, recorder.hooks())), c.summary);
        EXPECT_EQ(drive.formats, c.formats);
        EXPECT_TRUE(drive.closed);
        EXPECT_EQ(drive.disc == bytes, c.bad_writes == 1);
    }
}
