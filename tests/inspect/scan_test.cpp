// Integrity scan of images built in code: the lines, the counters, and the sector reads the chain walk costs.
#include "inspect/scan.h"

#include "common/bytes.h"
#include "image/directory.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::ImageBuilder;
using testing_support::Sector;
using Lines = std::vector<std::string>;
namespace entry = image::entry;

namespace {

const std::string NAME = "F         ";
const std::string HEADER = NAME + " has probably bad internal header information";
const std::string TRACK = NAME + " Bad sector end chunk for next track (Critical)";
const std::string SECTOR = NAME + " Bad sector end chunk for next sector (Critical)";
const std::string COUNT = NAME + " Wrong sector count, this is a critical problem";
const std::vector<std::uint8_t> DATA(1200, 0x5A); // with its header, three sectors: track 4, sectors 1-3

// The lines between the first line and the summary.
Lines findings(const inspect::ScanResult& r)
{
    return r.completed && r.lines.size() >= 3 ? Lines(r.lines.begin() + 1, r.lines.end() - 2) : Lines{"(none)"};
}

} // namespace

class ScanImage : public ::testing::Test
{
protected:
    inspect::ScanResult scan(const ImageBuilder& b, const std::string& name = "disc.mgt")
    {
        m_path = b.write(m_dir.path() / name).string();
        const auto source = testing_support::open_source(m_path);
        auto result = inspect::scan_image(*source, m_path);
        m_reads = source->reads();
        return result;
    }

    testing_support::TempDir m_dir;
    std::string m_path;
    long m_reads = 0; // sector reads of the last scan
};

TEST_F(ScanImage, CleanImagesGiveThreeLinesInEitherLayout)
{
    std::filesystem::create_directory(m_dir / "my.discs");
    for (const char* extension : {".MGT", ".img", ".Dsk"}) {
        ImageBuilder b(image::layout_from_path(extension));
        b.add_zx_file(0, 1, "loader", DATA, 0, 10, 300);
        b.add_zx_file(1, 7, "screen", std::vector<std::uint8_t>(6912), 16384);
        b.add_sam_file(9, 19, "samcode", std::vector<std::uint8_t>(20000));
        b.add_zx_file(40, 9, "snap", std::vector<std::uint8_t>(131103));
        b.add_zx_file(79, 4, "code", DATA, 32768);
        const auto r = scan(b, "my.discs/Games" + std::string(extension));
        EXPECT_EQ(r.lines, (Lines{"Scanning file: " + (m_dir / "my.discs" / "Games").string() + " ...",
                                  "On image " + m_path + " no errors has been found. 5 files found", ""}));
        EXPECT_EQ(r.files, 5);
    }
    const auto empty = scan(ImageBuilder());
    EXPECT_EQ(empty.lines.at(1), "On image " + m_path + " no errors has been found. 0 files found");
}

TEST_F(ScanImage, OnlyImageFilesOfExactlyTheRightSizeAreScanned)
{
    ImageBuilder().resize(819199).write(m_dir / "short.mgt");
    ImageBuilder().resize(819201).write(m_dir / "long.mgt");
    ImageBuilder().write(m_dir / "disc.tap");
    std::filesystem::create_directory(m_dir / "folder.mgt");
    for (const char* name : {"short.mgt", "long.mgt", "disc.tap", "missing.mgt", "folder.mgt"}) {
        const auto opened = image::open_image((m_dir / name).string());
        const auto* image = std::get_if<image::OpenImage>(&opened);
        EXPECT_TRUE(!image || !image->scannable) << name;
    }
    EXPECT_TRUE(
        std::get<image::OpenImage>(image::open_image(ImageBuilder().write(m_dir / "full.mgt").string())).scannable);
}

// Each case damages a ZX code file "F" of three sectors in slot 0.
TEST_F(ScanImage, HeaderAndChainFindings)
{
    struct Case
    {
        const char* what{};
        int relink = -1; // chain sector whose link is replaced by `to`
        Sector to{};
        std::uint16_t count = 3;
        std::size_t header_byte = 0; // first-sector byte changed (0: none)
        bool first_track_zero = false;
        Lines lines{};
        long walk = 3; // sectors the chain walk reads
    };
    const std::vector<Case> cases = {
        {.what = "undamaged"},
        {.what = "header length differs, chain still walked", .header_byte = 1, .lines = {HEADER}},
        {.what = "header start differs", .header_byte = 4, .lines = {HEADER}},
        {.what = "header and chain", .relink = 2, .to = {2, 1}, .header_byte = 1, .lines = {HEADER, TRACK, COUNT}},
        {.what = "last sector links to track 2", .relink = 2, .to = {2, 1}, .lines = {TRACK, COUNT}},
        {.what = "track 90, sector 12", .relink = 1, .to = {90, 12}, .lines = {TRACK, SECTOR, COUNT}, .walk = 2},
        {.what = "sector 11", .relink = 0, .to = {4, 11}, .lines = {SECTOR, COUNT}, .walk = 1},
        {.what = "sector 0 reads sector 1", .relink = 2, .to = {5, 0}, .count = 4, .walk = 4},
        {.what = "sector 10", .relink = 2, .to = {6, 10}, .count = 4, .walk = 4},
        {.what = "count 4, chain of 3", .count = 4, .lines = {COUNT}},
        {.what = "count 3, loop cut after 6 reads", .relink = 2, .to = {4, 1}, .lines = {COUNT}, .walk = 6},
        {.what = "count 0, loop cut after 3 reads", .relink = 2, .to = {4, 1}, .count = 0, .lines = {COUNT}},
        {.what = "first track 0, count 0", .count = 0, .first_track_zero = true, .walk = 0},
        {.what = "first track 0, count 3", .first_track_zero = true, .lines = {COUNT}, .walk = 0},
    };
    for (const Case& c : cases) {
        ImageBuilder b;
        const auto chain = b.add_zx_file(0, 4, "F", DATA, 32768);
        b.link({5, 2}, {90, 1}).link({5, 10}, {90, 1}); // any read of track 5 but sector 1 would show
        if (c.relink >= 0)
            b.link(chain[static_cast<std::size_t>(c.relink)], c.to);
        common::put_be16(b.entry_bytes(0), entry::SECTOR_COUNT, c.count);
        b.sector(chain[0])[c.header_byte] ^= c.header_byte ? 1 : 0;
        // Track 0 sector 1 holds this very entry, whose bytes 1-4 (the name "F   ") are no header to compare.
        if (c.first_track_zero)
            b.entry_bytes(0)[entry::FIRST_TRACK] = 0;
        const auto r = scan(b);
        EXPECT_EQ(findings(r), c.lines) << c.what;
        EXPECT_EQ(r.problems, static_cast<int>(c.lines.size())) << c.what;
        // Every slot reads its directory sector afresh, and the header read comes on top of the walk.
        EXPECT_EQ(m_reads, image::DIRECTORY_SLOTS + 1 + c.walk) << c.what;
    }
}

TEST_F(ScanImage, TracksOutsideTheDataAreaBreakTheWalk)
{
    const std::vector<int> bad = {1, 3, 80, 127, 208, 255};
    for (int track : {1, 3, 80, 127, 208, 255, 4, 79, 128, 207}) {
        ImageBuilder b;
        b.link(b.add_zx_file(0, 4, "F", DATA)[2], {static_cast<std::uint8_t>(track), 9});
        common::put_be16(b.entry_bytes(0), entry::SECTOR_COUNT, 4);
        const bool is_bad = std::find(bad.begin(), bad.end(), track) != bad.end();
        EXPECT_EQ(findings(scan(b)), (is_bad ? Lines{TRACK, COUNT} : Lines{})) << track;
    }
}

TEST_F(ScanImage, MasterDosExtraDirectoryTracksAreScannedAndHoldNoData)
{
    // A five-track disc full of files; one file's chain runs into track 4, which is directory there.
    ImageBuilder full;
    full.directory_tracks(5);
    for (int slot = 0; slot < 98; ++slot)
        full.add_sam_file(slot, 19, slot == 97 ? "F" : "file", DATA);
    const auto clean = scan(full);
    EXPECT_EQ(findings(clean), Lines{});
    EXPECT_EQ(clean.files, 98);
    full.link(full.add_sam_file(97, 19, "F", DATA)[1], {4, 9});
    EXPECT_EQ(findings(scan(full)), (Lines{TRACK, COUNT}));

    ImageBuilder wrong;
    wrong.directory_tracks(5);
    wrong.add_sam_file(0, 19, "F", DATA);
    wrong.add_sam_file(80, 19, "F", DATA);
    wrong.entry_bytes(0)[entry::EXTRA_DIRECTORY_TRACKS] = 36;
    const auto claimed = scan(wrong);
    EXPECT_EQ(findings(claimed), Lines{"The first directory entry claims 36 extra directory tracks, more than 35; only "
                                       "the first 4 tracks were read"});
    EXPECT_EQ(claimed.files, 1);
}

TEST_F(ScanImage, HeaderIsComparedForSomeZxTypesAndSamTypesButSubdirectories)
{
    // UNI-DOS subdirectories (12) are not walked either: their sectors hold entries, not links.
    const std::vector<int> zx_checked = {1, 2, 3, 4, 6, 7, 8};
    for (int code = 1; code < image::TYPE_SAM_BASIC; ++code) {
        ImageBuilder b;
        b.sector(b.add_zx_file(0, static_cast<std::uint8_t>(code), "F", DATA, 32768)[0])[4] = 0;
        const bool checked = std::find(zx_checked.begin(), zx_checked.end(), code) != zx_checked.end();
        EXPECT_EQ(findings(scan(b)), (checked ? Lines{HEADER} : Lines{})) << code;
    }

    // A SAM Screen of one whole page and 3,616 bytes: header bytes 0 (type), 1-2 (last page), 7 (page count).
    struct Case
    {
        const char* what;
        std::size_t at; // byte changed: header byte below entry::SIZE, else entry byte at - entry::SIZE
        std::uint8_t value;
        bool bad;
    };
    const std::vector<Case> cases = {
        {"type bits 6-7 ignored", 0, 0xD4, false},
        {"other type", 0, 19, true},
        {"length bits 14-15 ignored", 2, 0xCE, false},
        {"length differs", 1, 0x21, true},
        {"page count differs", 7, 2, true},
        {"ZX length not used", entry::SIZE + entry::ZX_LENGTH, 0, false},
        {"unnamed code 63", entry::SIZE + entry::STATUS, 63, true},
        {"MasterDOS subdirectory", entry::SIZE + entry::STATUS, 21, false},
    };
    for (const Case& c : cases) {
        ImageBuilder b;
        const auto chain = b.add_sam_file(0, 20, "F", std::vector<std::uint8_t>(image::SAM_PAGE_BYTES + 3616));
        (c.at < entry::SIZE ? b.sector(chain[0])[c.at] : b.entry_bytes(0)[c.at - entry::SIZE]) = c.value;
        EXPECT_EQ(findings(scan(b)), (c.bad ? Lines{HEADER} : Lines{})) << c.what;
    }
}

TEST_F(ScanImage, ProblemsOfAllFilesAreSummedInSlotOrderWithRawNames)
{
    ImageBuilder b;
    b.add_zx_file(79, 4, "last", DATA);
    b.add_zx_file(40, 4, "fine", DATA);
    b.link(b.add_zx_file(0, 4, "first", DATA)[0], {2, 1});
    common::put_le16(b.entry_bytes(79), entry::ZX_LENGTH, 99);
    testing_support::EntryFields cut;
    cut.status = 5;
    cut.raw_name = {'A', 0xA9, 0, 'X'};
    cut.sector_count = 1;
    b.entry(41, cut);
    const auto r = scan(b);
    EXPECT_EQ(r.lines, (Lines{r.lines.at(0), "first      Bad sector end chunk for next track (Critical)",
                              "first      Wrong sector count, this is a critical problem",
                              "A\xA9 Wrong sector count, this is a critical problem",
                              "last       has probably bad internal header information",
                              "On image " + m_path + " 4 possible errors has been found", ""}));
    EXPECT_EQ(r.files, 4);
}
