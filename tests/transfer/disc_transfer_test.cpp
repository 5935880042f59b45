// Whole-disc reads and writes against a drive held in memory: the order of the tracks and their reports,
// retries of damaged sectors, drive failures, read-back checks and cancellation.
#include "transfer/disc_transfer.h"

#include "support/image_builder.h"
#include "support/memory_drive.h"

#include <gtest/gtest.h>

#include <numeric>

using testing_support::ImageBuilder;
using testing_support::MemoryDrive;
using transfer::DriveStatus;
using transfer::Outcome;
using transfer::SectorAddress;

namespace {

// A disc whose every sector differs from every other one.
std::vector<std::uint8_t> patterned_disc()
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(image::IMAGE_BYTES));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i / image::SECTOR_SIZE) * 7 + i);
    return bytes;
}

image::RawImage memory_image(const std::vector<std::uint8_t>& bytes, image::Layout layout)
{
    return image::RawImage(std::make_unique<image::MemoryBytes>(bytes), layout);
}

ImageBuilder image_with_files(image::Layout layout)
{
    ImageBuilder builder(layout);
    std::vector<std::uint8_t> data(30000);
    std::iota(data.begin(), data.end(), std::uint8_t{1});
    builder.add_zx_file(0, 4, "code", data, 32768);
    builder.add_zx_file(1, 7, "screen", std::span(data).first(6912), 16384);
    return builder;
}

// Cancels once `after` tracks have been announced.
transfer::Hooks cancel_after(int after, std::vector<transfer::Progress>& seen)
{
    return {[&seen](const transfer::Progress& p) { seen.push_back(p); },
            [&seen, after] {
                return static_cast<int>(seen.size()) >= after;
            }};
}

} // namespace

TEST(ReadDisc, ReadsEveryTrackCylinderByCylinderIntoTheLayoutAsked)
{
    const auto disc = patterned_disc();
    for (const image::Layout layout : {image::Layout::Interleaved, image::Layout::Sequential}) {
        MemoryDrive drive(disc);
        std::vector<transfer::Progress> seen;
        const auto report = transfer::read_disc(drive, layout, {[&](const auto& p) { seen.push_back(p); }, {}});
        ASSERT_EQ(report.outcome, Outcome::Done);
        EXPECT_EQ(report.tracks_done, 160);
        ASSERT_EQ(seen.size(), 160u);
        EXPECT_EQ(std::make_tuple(seen[1].track, seen[1].side, seen[1].tracks_done), std::make_tuple(0, 1, 1));
        EXPECT_EQ(std::make_tuple(seen[159].track, seen[159].side, seen[159].tracks_done), std::make_tuple(79, 1, 159));
        // The image read back in its own layout gives every sector of the disc.
        auto read = memory_image(report.image, layout);
        auto original = memory_image(disc, image::Layout::Interleaved);
        std::array<std::uint8_t, 512> a{};
        std::array<std::uint8_t, 512> b{};
        for (int track_byte : {0x00, 0x80, 0x05, 0x85, 0x4F, 0xCF}) {
            for (int sector = 0; sector < 10; ++sector) {
                read.read_sector(static_cast<std::uint8_t>(track_byte), sector, a);
                original.read_sector(static_cast<std::uint8_t>(track_byte), sector, b);
                ASSERT_EQ(a, b) << track_byte << "/" << sector;
            }
        }
        if (layout == image::Layout::Interleaved)
            EXPECT_EQ(report.image, disc);
        else
            EXPECT_NE(report.image, disc);
    }
}

TEST(ReadDisc, DamagedSectorsAreRetriedThenZeroFilledAndListed)
{
    struct Case
    {
        int failures; // -1: every read fails
        int expected_reads;
        bool unreadable;
    };
    for (const Case c : {Case{4, 5, false}, Case{5, 5, true}, Case{-1, 5, true}, Case{1, 2, false}}) {
        SCOPED_TRACE(c.failures);
        const SectorAddress at{3, 1, 7};
        MemoryDrive drive(patterned_disc());
        drive.fail_reads(at, c.failures);
        std::vector<transfer::Progress> seen;
        const auto report =
            transfer::read_disc(drive, image::Layout::Interleaved, {[&](const auto& p) { seen.push_back(p); }, {}});
        ASSERT_EQ(report.outcome, Outcome::Done);
        EXPECT_EQ(drive.reads_of(at), c.expected_reads);
        const auto sector_at = static_cast<std::ptrdiff_t>(image::sector_offset(image::Layout::Interleaved, 0x83, 6));
        const auto sector = std::span(report.image).subspan(static_cast<std::size_t>(sector_at), 512);
        if (c.unreadable) {
            ASSERT_EQ(report.unreadable, std::vector<SectorAddress>{at});
            EXPECT_EQ(transfer::unreadable_text(at), "track 3 side 1 sector 7 unreadable");
            EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](auto b) { return b == 0; }));
            EXPECT_EQ(seen[7].errors, 0);
            EXPECT_EQ(seen[8].errors, 1);
        } else {
            EXPECT_TRUE(report.unreadable.empty());
            EXPECT_TRUE(std::equal(sector.begin(), sector.end(), drive.disc().begin() + sector_at));
        }
    }
}

TEST(ReadDisc, DriveFailureOrCancelStopsWithoutAnImage)
{
    MemoryDrive failing(patterned_disc());
    failing.fail_from(7, 1, DriveStatus::NotReady);
    const auto failed = transfer::read_disc(failing, image::Layout::Sequential);
    EXPECT_EQ(failed.outcome, Outcome::Failed);
    EXPECT_EQ(failed.failure,
              "track 7 side 1 sector 1: the drive is not ready (is there a disc in it?): stand-in failure");
    EXPECT_EQ(failed.tracks_done, 15);
    EXPECT_TRUE(failed.image.empty());

    MemoryDrive drive(patterned_disc());
    std::vector<transfer::Progress> seen;
    const auto cancelled = transfer::read_disc(drive, image::Layout::Interleaved, cancel_after(3, seen));
    EXPECT_EQ(cancelled.outcome, Outcome::Cancelled);
    EXPECT_EQ(cancelled.tracks_done, 3);
    EXPECT_TRUE(cancelled.image.empty());
    EXPECT_EQ(drive.reads_of({1, 1, 1}), 0);

    // A cancel between the tries of a damaged sector stops at once.
    MemoryDrive damaged(patterned_disc());
    damaged.fail_reads({0, 0, 1});
    int asked = 0;
    const auto stopped = transfer::read_disc(damaged, image::Layout::Interleaved, {{}, [&] {
                                                                                       return ++asked > 2;
                                                                                   }});
    EXPECT_EQ(stopped.outcome, Outcome::Cancelled);
    EXPECT_EQ(damaged.reads_of({0, 0, 1}), 2);
}

TEST(WriteDisc, WritesAndVerifiesEveryTrackFromEitherLayout)
{
    const auto expected = image_with_files(image::Layout::Interleaved).bytes();
    for (const image::Layout layout : {image::Layout::Interleaved, image::Layout::Sequential}) {
        const auto source_bytes = image_with_files(layout).bytes();
        auto source = memory_image(source_bytes, layout);
        MemoryDrive drive;
        std::vector<transfer::Progress> seen;
        const auto report = transfer::write_disc(drive, source, {[&](const auto& p) { seen.push_back(p); }, {}});
        EXPECT_EQ(report.outcome, Outcome::Done);
        EXPECT_EQ(transfer::write_summary(report), "160 tracks written and verified");
        EXPECT_EQ(drive.disc(), expected);
        EXPECT_EQ(drive.formats(), 160);
        EXPECT_EQ(drive.reads_of({79, 1, 10}), 1);
        EXPECT_EQ(seen.size(), 160u);
        EXPECT_TRUE(drive.closed());
    }
}

TEST(WriteDisc, StopsSayWhichTracksWereWritten)
{
    const auto bytes = patterned_disc();
    auto source = memory_image(bytes, image::Layout::Interleaved);

    MemoryDrive once;
    once.corrupt_writes({2, 1, 4}, 1);
    const auto retried = transfer::write_disc(once, source);
    EXPECT_EQ(retried.outcome, Outcome::Done);
    EXPECT_EQ(retried.retried_tracks, 1);
    EXPECT_EQ(once.disc(), bytes);

    MemoryDrive bad;
    bad.corrupt_writes({2, 1, 4});
    const auto failed = transfer::write_disc(bad, source);
    EXPECT_EQ(failed.outcome, Outcome::Failed);
    EXPECT_EQ(bad.formats(), 5 + transfer::WRITE_ATTEMPTS);
    EXPECT_EQ(transfer::write_summary(failed), "track 2 side 1 sector 4: does not read back as written; "
                                               "tracks written: track 0 side 0 to track 2 side 0 (5 of 160)");

    MemoryDrive protected_disc;
    protected_disc.fail_from(0, 0, DriveStatus::WriteProtected);
    const auto refused = transfer::write_disc(protected_disc, source);
    EXPECT_EQ(protected_disc.formats(), 1);
    EXPECT_EQ(transfer::write_summary(refused),
              "track 0 side 0: the disc is write-protected: stand-in failure; no track was written");

    MemoryDrive drive;
    std::vector<transfer::Progress> seen;
    const auto cancelled = transfer::write_disc(drive, source, cancel_after(4, seen));
    EXPECT_EQ(transfer::write_summary(cancelled),
              "cancelled; tracks written: track 0 side 0 to track 1 side 1 (4 of 160)");
    EXPECT_EQ(drive.formats(), 4);
    EXPECT_TRUE(drive.closed());
}
