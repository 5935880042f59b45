// Integrity scan of images built in code: the lines, the counters, and the sector reads the chain walk costs.
#include "inspect/scan.h"

#include "common/bytes.h"
#include "image/directory.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

using testing_support::ImageBuilder;
using testing_support::Sector;
using testing_support::TempDir;
using Chain = std::vector<Sector>;
using Lines = std::vector<std::string>;

namespace {

const std::string NAME = "F         ";
const std::string HEADER = NAME + " has probably bad internal header information";
const std::string TRACK = NAME + " Bad sector end chunk for next track (Critical)";
const std::string SECTOR = NAME + " Bad sector end chunk for next sector (Critical)";
const std::string COUNT = NAME + " Wrong sector count, this is a critical problem";

std::vector<std::uint8_t> filler(std::size_t size)
{
    return std::vector<std::uint8_t>(size, 0x5A);
}

// The lines between the first line and the summary.
Lines findings(const inspect::ScanResult& r)
{
    if (!r.completed || r.lines.size() < 3)
        return {"(no summary)"};
    return {r.lines.begin() + 1, r.lines.end() - 2};
}

} // namespace

class ScanImage : public ::testing::Test
{
protected:
    inspect::ScanResult scan(const ImageBuilder& b, const std::string& name = "disc.mgt")
    {
        m_path = b.write(m_dir / name).string();
        return inspect::scan_image(m_path);
    }

    TempDir m_dir;
    std::string m_path;
};

TEST_F(ScanImage, CleanImagesGiveThreeLinesInEitherLayout)
{
    std::filesystem::create_directory(m_dir / "my.discs");
    const std::string stem = (m_dir / "my.discs" / "Games").string();
    for (const char* extension : {".MGT", ".img", ".Dsk"}) {
        ImageBuilder b(image::layout_from_path(extension));
        b.add_zx_file(0, 1, "loader", filler(300), 0, 10, 300);
        b.add_zx_file(1, 4, "code", filler(2000), 32768);
        b.add_zx_file(5, 7, "screen", filler(6912), 16384);
        b.add_sam_file(9, 19, "samcode", filler(20000));
        b.add_zx_file(79, 5, "snap", filler(49179));
        const auto r = scan(b, "my.discs/Games" + std::string(extension));
        EXPECT_EQ(r.lines, (Lines{"Scanning file: " + stem + " ...",
                                  "On image " + m_path + " no errors has been found. 5 files found", ""}));
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.files, 5);
        EXPECT_EQ(r.problems, 0);
    }
    const auto empty = scan(ImageBuilder());
    EXPECT_EQ(empty.lines.at(1), "On image " + m_path + " no errors has been found. 0 files found");
}

TEST_F(ScanImage, OnlyImageFilesOfExactlyTheRightSizeAreScanned)
{
    ImageBuilder().resize(819199).write(m_dir / "short.mgt");
    ImageBuilder().resize(819201).write(m_dir / "long.mgt");
    ImageBuilder().write(m_dir / "disc.tap");
    ImageBuilder().write(m_dir / "disc");
    std::filesystem::create_directory(m_dir / "folder.mgt");
    for (const char* name : {"short.mgt", "long.mgt", "disc.tap", "disc", "missing.mgt", "folder.mgt"}) {
        const auto r = inspect::scan_image((m_dir / name).string());
        EXPECT_TRUE(r.lines.empty()) << name;
        EXPECT_FALSE(r.completed) << name;
    }
}

// Each case damages a ZX code file "F" of three sectors (track 4, sectors 1-3) in slot 0.
TEST_F(ScanImage, HeaderAndChainFindings)
{
    using image::entry::FIRST_TRACK;
    using image::entry::SECTOR_COUNT;
    struct Case
    {
        const char* what;
        std::function<void(ImageBuilder&, const Chain&)> damage;
        Lines lines;
        long walk; // sectors the chain walk read
    };
    const auto set_count = [](ImageBuilder& b, std::uint16_t n) {
        common::put_be16(b.entry_bytes(0), SECTOR_COUNT, n);
    };
    const std::vector<Case> cases = {
        {"undamaged", [](ImageBuilder&, const Chain&) {}, {}, 3},
        {"header length differs, chain still walked",
         [](ImageBuilder& b, const Chain& c) { b.sector(c[0])[1] ^= 1; },
         {HEADER},
         3},
        {"header start differs", [](ImageBuilder& b, const Chain& c) { b.sector(c[0])[4] ^= 1; }, {HEADER}, 3},
        {"header and chain damaged",
         [](ImageBuilder& b, const Chain& c) {
             b.sector(c[0])[1] ^= 1;
             b.link(c[2], {2, 1});
         },
         {HEADER, TRACK, COUNT},
         3},
        {"last sector links to track 2",
         [](ImageBuilder& b, const Chain& c) {
             b.link(c[2], {2, 1});
         },
         {TRACK, COUNT},
         3},
        {"track 90 and sector 12",
         [](ImageBuilder& b, const Chain& c) {
             b.link(c[1], {90, 12});
         },
         {TRACK, SECTOR, COUNT},
         2},
        {"sector 11 on a good track",
         [](ImageBuilder& b, const Chain& c) {
             b.link(c[0], {4, 11});
         },
         {SECTOR, COUNT},
         1},
        {"sector 0 passes and reads sector 1 of the track",
         [&](ImageBuilder& b, const Chain& c) {
             b.link(c[2], {5, 0});
             b.link({5, 2}, {90, 1});
             b.link({5, 10}, {90, 1});
             set_count(b, 4);
         },
         {},
         4},
        {"sector 10 passes",
         [&](ImageBuilder& b, const Chain& c) {
             b.link(c[2], {6, 10});
             set_count(b, 4);
         },
         {},
         4},
        {"count 4, chain of 3", [&](ImageBuilder& b, const Chain&) { set_count(b, 4); }, {COUNT}, 3},
        {"count 3, chain loops: cut after count + 3 reads",
         [](ImageBuilder& b, const Chain& c) { b.link(c[2], c[0]); },
         {COUNT},
         6},
        {"count 0, chain loops",
         [&](ImageBuilder& b, const Chain& c) {
             b.link(c[2], c[0]);
             set_count(b, 0);
         },
         {COUNT},
         3},
        // Track 0 sector 1 holds this very entry: bytes 1-4 of the sector are the name "F   ".
        {"first track 0, count 0, header read from track 0",
         [&](ImageBuilder& b, const Chain&) {
             b.entry_bytes(0)[FIRST_TRACK] = 0;
             set_count(b, 0);
             common::put_le16(b.entry_bytes(0), image::entry::ZX_LENGTH, 0x2046);
             common::put_le16(b.entry_bytes(0), image::entry::ZX_START, 0x2020);
         },
         {},
         0},
        {"first track 0, count 3",
         [](ImageBuilder& b, const Chain&) { b.entry_bytes(0)[FIRST_TRACK] = 0; },
         {HEADER, COUNT},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageBuilder b;
        const Chain chain = b.add_zx_file(0, 4, "F", filler(1200), 32768);
        ASSERT_EQ(chain.size(), 3u);
        c.damage(b, chain);
        const long before = image::ImageFile::total_reads();
        const auto r = scan(b);
        EXPECT_EQ(findings(r), c.lines);
        EXPECT_EQ(r.problems, static_cast<int>(c.lines.size()));
        // Every slot reads its directory sector afresh, and the header read comes on top of the walk.
        EXPECT_EQ(image::ImageFile::total_reads() - before, image::DIRECTORY_SLOTS + 1 + c.walk);
    }
}

TEST_F(ScanImage, TracksOutsideTheDataAreaBreakTheWalk)
{
    const std::vector<int> bad = {1, 3, 80, 127, 208, 255};
    for (int track : {1, 3, 80, 127, 208, 255, 4, 79, 128, 207}) {
        ImageBuilder b;
        b.link(b.add_zx_file(0, 4, "F", filler(100))[0], {static_cast<std::uint8_t>(track), 9});
        common::put_be16(b.entry_bytes(0), image::entry::SECTOR_COUNT, 2);
        const bool is_bad = std::find(bad.begin(), bad.end(), track) != bad.end();
        EXPECT_EQ(findings(scan(b)), (is_bad ? Lines{TRACK, COUNT} : Lines{})) << track;
    }
}

TEST_F(ScanImage, HeaderIsComparedForSomeZxTypesAndAllSamTypes)
{
    const std::set<int> zx_checked = {1, 2, 3, 4, 6, 7, 8, 12};
    for (int code = 1; code < image::FIRST_SAM_TYPE; ++code) {
        ImageBuilder b;
        b.sector(b.add_zx_file(0, static_cast<std::uint8_t>(code), "F", filler(100), 32768)[0])[4] = 0;
        EXPECT_EQ(findings(scan(b)), (zx_checked.count(code) ? Lines{HEADER} : Lines{})) << code;
    }

    // A SAM Screen of one whole page and 3,616 bytes: header bytes 0 (type), 1-2 (last page), 7 (page count).
    struct Case
    {
        const char* what;
        std::function<void(std::span<std::uint8_t> header, std::span<std::uint8_t> entry)> change;
        bool bad;
    };
    const std::vector<Case> cases = {
        {"as written", [](auto, auto) {}, false},
        {"type bits 6-7 ignored", [](auto h, auto) { h[0] |= 0xC0; }, false},
        {"other type", [](auto h, auto) { h[0] = 19; }, true},
        {"length bits 14-15 ignored", [](auto h, auto e) { h[2] |= 0xC0, e[image::entry::SAM_LENGTH + 1] |= 0x40; },
         false},
        {"length differs", [](auto h, auto) { h[1] ^= 1; }, true},
        {"page count differs", [](auto h, auto) { h[7] = 2; }, true},
        {"ZX length field not used", [](auto, auto e) { e[image::entry::ZX_LENGTH] ^= 1; }, false},
        {"unnamed code 21", [](auto h, auto e) { h[0] = e[0] = 21; }, false},
        {"unnamed code 63, header type 20", [](auto, auto e) { e[0] = 63; }, true},
    };
    for (const Case& c : cases) {
        ImageBuilder b;
        const Chain chain = b.add_sam_file(0, 20, "F", filler(image::SAM_PAGE_BYTES + 3616));
        c.change(b.sector(chain[0]), b.entry_bytes(0));
        EXPECT_EQ(findings(scan(b)), (c.bad ? Lines{HEADER} : Lines{})) << c.what;
    }
}

TEST_F(ScanImage, ProblemsOfAllFilesAreSummedInSlotOrder)
{
    ImageBuilder b;
    b.add_zx_file(79, 4, "last", filler(100));
    b.add_zx_file(40, 4, "fine", filler(100));
    const Chain chain = b.add_zx_file(0, 4, "first", filler(100));
    b.link(chain[0], {2, 1});
    common::put_le16(b.entry_bytes(79), image::entry::ZX_LENGTH, 99);
    testing_support::EntrySpec cut;
    cut.status = 5;
    cut.raw_name = {'A', 0xA9, 0, 'X'};
    cut.sector_count = 1;
    b.entry(41, cut);
    const auto r = scan(b);
    EXPECT_EQ(r.lines, (Lines{
                           r.lines.at(0),
                           "first      Bad sector end chunk for next track (Critical)",
                           "first      Wrong sector count, this is a critical problem",
                           "A\xA9 Wrong sector count, this is a critical problem",
                           "last       has probably bad internal header information",
                           "On image " + m_path + " 4 possible errors has been found",
                           "",
                       }));
    EXPECT_EQ(r.files, 4);
}
