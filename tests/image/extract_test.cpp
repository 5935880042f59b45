#include "image/extract.h"

#include "common/bytes.h"
#include "image/directory.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <numeric>

using image::Layout;
using testing_support::EntryFields;
using testing_support::ImageBuilder;
using testing_support::Sector;
using testing_support::TempDir;

namespace {

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed = 1)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    return bytes;
}

bool all_zero(std::span<const std::uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

std::span<const std::uint8_t> first(const std::vector<std::uint8_t>& buffer, std::size_t count)
{
    return std::span<const std::uint8_t>(buffer).first(count);
}

struct Fixture
{
    TempDir dir;
    image::Extracted got; // the latest extraction's result; empty when nothing was extracted

    // The length of the extracted data; -1 when nothing was extracted.
    std::int32_t extract(const ImageBuilder& b, int slot, const std::string& name = "d.mgt")
    {
        const auto path = b.write(dir / name);
        auto x = image::extract_file(*testing_support::open_source(path), slot);
        got = x ? std::move(*x) : image::Extracted{};
        return x ? static_cast<std::int32_t>(got.data.size()) : -1;
    }
};

} // namespace

TEST(ExtractFile, ScreenOverFourteenSectorsInEitherLayout)
{
    for (Layout layout : {Layout::Interleaved, Layout::Sequential}) {
        Fixture f;
        ImageBuilder b(layout);
        const auto data = pattern(6912);
        const auto chain = b.add_zx_file(0, 4, "SCREEN", data, 16384);
        ASSERT_EQ(chain.size(), 14u);
        ASSERT_EQ(f.extract(b, 0, layout == Layout::Interleaved ? "s.mgt" : "s.img"), 6912);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), f.got.data.begin()));
    }
}

TEST(ExtractFile, FirstAndLastSlotsAreFound)
{
    Fixture f;
    ImageBuilder b;
    b.add_zx_file(0, 3, "first", pattern(100, 3));
    b.add_zx_file(79, 2, "last", pattern(200, 9));
    ASSERT_EQ(f.extract(b, 79), 200);
    EXPECT_TRUE(std::equal(f.got.data.begin(), f.got.data.begin() + 200, pattern(200, 9).begin()));
    ASSERT_EQ(f.extract(b, 0), 100);
    EXPECT_TRUE(std::equal(f.got.data.begin(), f.got.data.begin() + 100, pattern(100, 3).begin()));
}

TEST(ExtractFile, TapeHeaderFollowsTheTapeType)
{
    Fixture f;
    ImageBuilder b;
    b.add_zx_file(0, 1, "loader", pattern(300), 0, 10, 200);
    b.add_zx_file(1, 0x84, "ABCDEFGHIJ", pattern(6912), 16384); // hidden bit does not matter
    ASSERT_EQ(f.extract(b, 0), 300);
    const image::TapeHeader program = {0x00, 0, 'l', 'o', 'a', 'd', 'e', 'r', ' ', ' ', ' ', ' ', 44, 1, 10, 0, 200, 0};
    EXPECT_EQ(f.got.header, program);
    ASSERT_EQ(f.extract(b, 1), 6912);
    const image::TapeHeader code = {0x00, 3,   'A', 'B',  'C',  'D',  'E',  'F',  'G',
                                    'H',  'I', 'J', 0x00, 0x1B, 0x00, 0x40, 0x00, 0x80};
    EXPECT_EQ(f.got.header, code);
}

TEST(ExtractFile, NameCutAtZeroLeavesNothingOfThePreviousName)
{
    Fixture f;
    ImageBuilder b;
    b.add_zx_file(0, 4, "LONGERNAME", pattern(10));
    b.add_zx_file(1, 4, "", pattern(10));
    const std::vector<std::uint8_t> cut = {'A', 'B', 0, 'Z', 'Z', 'Z', 'Z', 'Z', 'Z', 'Z'};
    std::copy(cut.begin(), cut.end(), b.entry_bytes(1).begin() + 1);
    ASSERT_EQ(f.extract(b, 0), 10);
    ASSERT_EQ(f.extract(b, 1), 10);
    const std::vector<std::uint8_t> expected = {'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), f.got.header.begin() + image::tape_header::NAME.at));
}

TEST(ExtractFile, TypesWithoutTapeFormYieldNothing)
{
    Fixture f;
    ImageBuilder b;
    int slot = 0;
    for (int type : {5, 9, 6, 8, 10, 11, 16, 17, 18, 19, 20}) {
        b.add_zx_file(slot++, static_cast<std::uint8_t>(type), "x", pattern(50));
    }
    EntryFields erased;
    erased.name = "gone";
    erased.first_track = 4;
    erased.first_sector = 1;
    erased.sector_count = 1;
    erased.zx_length = 50;
    b.entry(slot++, erased);
    b.add_zx_file(slot++, 4, "empty", {});

    for (int s = 0; s < slot; ++s)
        EXPECT_EQ(f.extract(b, s), -1) << "slot " << s;
}

TEST(ExtractFile, WalkEndsOnTheSectorCountNotTheLength)
{
    Fixture f;
    ImageBuilder b;
    const auto data = pattern(2000);
    const auto chain = b.add_zx_file(0, 4, "counted", data); // 4 sectors
    ASSERT_EQ(chain.size(), 4u);
    common::put_be16(b.entry_bytes(0), image::entry::SECTOR_COUNT, 2); // count too small
    ASSERT_EQ(f.extract(b, 0), 2000);
    // Two sectors deliver stream bytes 0-1021: data bytes 0-1010 and then the link of the second sector.
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 1011, f.got.data.begin()));
    EXPECT_EQ(f.got.data[1011], chain[2].track_byte);
    EXPECT_EQ(f.got.data[1012], chain[2].number);
    EXPECT_TRUE(all_zero(std::span<const std::uint8_t>(f.got.data).subspan(1013, 2000 - 1013)));
    EXPECT_EQ(image::shortfall_text(f.got.chain), "its 2 sectors hold less than its length; 989 bytes are zeros");
}

TEST(ExtractFile, BytesTheChainDidNotDeliverAreZero)
{
    Fixture f;
    ImageBuilder b;
    b.add_zx_file(0, 4, "big", pattern(5000, 77)); // fills the work buffer first
    const auto chain = b.add_zx_file(1, 4, "broken", pattern(3000, 5));
    b.link(chain[1], {0, 3}); // the chain ends after two sectors although the count says more
    b.add_zx_file(2, 4, "nowhere", pattern(3000, 5));
    b.entry_bytes(2)[image::entry::FIRST_TRACK] = 0;
    b.add_zx_file(3, 4, "sector0", pattern(3000, 5));
    b.entry_bytes(3)[image::entry::FIRST_SECTOR] = 0;

    ASSERT_EQ(f.extract(b, 0), 5000);
    ASSERT_EQ(f.extract(b, 1), 3000);
    EXPECT_TRUE(std::equal(f.got.data.begin(), f.got.data.begin() + 1011, pattern(3000, 5).begin()));
    EXPECT_EQ(f.got.data[1011], 0); // the zero link of the last sector read
    EXPECT_EQ(f.got.data[1012], 3);
    EXPECT_TRUE(all_zero(std::span<const std::uint8_t>(f.got.data).subspan(1013, 3000 - 1013)));
    // The link bytes left in the data are none of the file's bytes: 2 * 510 - 9 were delivered.
    EXPECT_EQ(image::shortfall_text(f.got.chain), "the chain ends after 2 of 6 sectors; 1,989 bytes are zeros");

    for (int slot : {2, 3}) {
        ASSERT_EQ(f.extract(b, 0), 5000);
        EXPECT_TRUE(f.got.chain.complete());
        ASSERT_EQ(f.extract(b, slot), 3000) << slot;
        EXPECT_TRUE(all_zero(first(f.got.data, 3000))) << slot;
        EXPECT_EQ(f.got.chain.sectors_read, 0);
        EXPECT_EQ(f.got.chain.zero_bytes, 3000u);
    }
}

TEST(ExtractFile, LoopingChainStopsAtTheEndOfTheWorkBuffer)
{
    Fixture f;
    ImageBuilder b;
    const auto chain = b.add_zx_file(0, 4, "loop", pattern(1000));
    b.link(chain.back(), chain.front());
    common::put_be16(b.entry_bytes(0), image::entry::SECTOR_COUNT, 65535);
    ASSERT_EQ(f.extract(b, 0), 1000);
    EXPECT_TRUE(std::equal(f.got.data.begin(), f.got.data.begin() + 1000, pattern(1000).begin()));
}

TEST(ExtractFile, LinksBeyondTheDiscAreClampedNotFollowedOutOfBounds)
{
    Fixture f;
    ImageBuilder b;
    const auto chain = b.add_zx_file(0, 4, "wild", pattern(1500));
    b.link(chain[0], {255, 200});
    b.resize(300000); // short file: the clamped sector lies beyond its end
    ASSERT_EQ(f.extract(b, 0), 1500);
    EXPECT_TRUE(std::equal(f.got.data.begin(), f.got.data.begin() + 501, pattern(1500).begin()));
    EXPECT_TRUE(all_zero(std::span<const std::uint8_t>(f.got.data).subspan(503, 1500 - 503)));
}
