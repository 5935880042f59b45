// Whole-disc reads and writes against a drive held in memory: track order and reports, retries of damaged
// sectors, drive failures, read-back checks and cancelling. The layouts are judged through libdsk in
// tests/cli/disc_command_test.cpp.
#include "transfer/disc_transfer.h"

#include "image/container.h"
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
        MemoryDrive drive;
        drive.write_faults[{2, 1, 4}] = c.bad_writes;
        drive.failing_from = c.failing_from;
        drive.failure = transfer::DriveStatus::WriteProtected;
        Recorder recorder{c.cancel_after, {}};
        EXPECT_EQ(transfer::write_summary(transfer::write_disc(drive, bytes, recorder.hooks())), c.summary);
        EXPECT_EQ(drive.formats, c.formats);
        EXPECT_TRUE(drive.closed);
        EXPECT_EQ(drive.disc == bytes, c.bad_writes == 1);
    }
}

TEST(CopyDisc, SectorsTheImageLacksAreZerosAndNamedInTrackOrder)
{
    // An image in the .img layout: the copy is cylinder by cylinder whatever the source's layout.
    std::vector<std::uint8_t> sequential(static_cast<std::size_t>(image::IMAGE_BYTES));
    const auto bytes = patterned_disc();
    for (int index = 0; index < 1600; ++index) {
        const auto track_byte = static_cast<std::uint8_t>((index / 20) | ((index / 10) % 2 ? image::SIDE_BIT : 0));
        std::copy_n(bytes.begin() + index * 512, 512,
                    sequential.begin() + image::sector_offset(image::Layout::Sequential, track_byte, index % 10));
    }
    image::RawImage source(std::make_unique<image::MemoryBytes>(sequential), image::Layout::Sequential);
    const transfer::DiscCopy copy = transfer::copy_disc(source);
    EXPECT_EQ(copy.bytes, bytes);
    EXPECT_TRUE(copy.missing.empty());

    image::MemoryDisc disc;
    for (int track = 0; track < 80; ++track)
        for (int side = 0; side < 2; ++side)
            for (int sector = 0; sector < 10; ++sector) {
                std::fill_n(disc.sector(track, side, sector).begin(), 512, std::uint8_t{0x55});
                disc.set_status(track, side, sector, image::SectorStatus::Ok);
            }
    disc.set_status(3, 1, 6, image::SectorStatus::Unreadable);
    for (int sector = 0; sector < 10; ++sector)
        for (int track_index : {20, 21, 22})
            disc.set_status(track_index / 2, track_index % 2, sector, image::SectorStatus::Missing);
    const transfer::DiscCopy damaged = transfer::copy_disc(disc);
    ASSERT_EQ(damaged.missing.size(), 31u);
    EXPECT_EQ(damaged.missing[0], (transfer::DriveSectorAddress{3, 1, 7}));
    EXPECT_EQ(damaged.bytes[(3 * 2 + 1) * 5120 + 6 * 512], 0);
    EXPECT_EQ(damaged.bytes[(3 * 2 + 1) * 5120 + 7 * 512], 0x55);

    using Sectors = std::vector<transfer::DriveSectorAddress>;
    Sectors many;
    for (int track = 0; track < 12; ++track)
        many.push_back({track, 0, 2});
    for (const auto& [sectors, text] : std::vector<std::pair<Sectors, std::string>>{
             {damaged.missing,
              "31 sectors: track 3 side 1 sector 7; track 10 side 0 to track 11 side 0 (every sector)"},
             {{{5, 0, 9}, {0, 1, 3}, {5, 0, 1}}, "3 sectors: track 0 side 1 sector 3; track 5 side 0 sectors 1, 9"},
             {many, "12 sectors: track 0 side 0 sector 2; track 1 side 0 sector 2; track 2 side 0 sector 2; "
                    "track 3 side 0 sector 2; track 4 side 0 sector 2; track 5 side 0 sector 2; "
                    "track 6 side 0 sector 2; track 7 side 0 sector 2; and 4 more"}}) {
        EXPECT_EQ(transfer::sectors_text(sectors), text);
    }
}
