#include "image/disc_writer.h"

#include "common/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <variant>

using image::Layout;

namespace {

std::span<const std::uint8_t> sector_of(const std::vector<std::uint8_t>& disc, Layout layout, std::uint8_t track_byte,
                                        int number)
{
    const auto at = static_cast<std::size_t>(image::sector_offset(layout, track_byte, number - 1));
    return std::span<const std::uint8_t>(disc).subspan(at, image::SECTOR_SIZE);
}

image::DiscFile file_of(std::size_t body_bytes)
{
    image::DiscFile f;
    f.entry[image::entry::STATUS] = 4;
    std::fill(f.entry.begin() + image::entry::SECTOR_COUNT, f.entry.end(), std::uint8_t{0xEE});
    f.body.assign(body_bytes, 0x5A);
    return f;
}

} // namespace

TEST(DiscWriter, SectorOrderRunsFromTrackFourOfSideZeroToTheLastTrackOfSideOne)
{
    const struct
    {
        int index;
        std::uint8_t track_byte;
        std::uint8_t number;
    } cases[] = {{0, 4, 1}, {9, 4, 10}, {10, 5, 1}, {759, 79, 10}, {760, 0x80, 1}, {1559, 0x80 | 79, 10}};
    for (const auto& c : cases) {
        const image::SectorAddress at = image::data_sector_address(c.index);
        EXPECT_EQ(at.track_byte, c.track_byte) << c.index;
        EXPECT_EQ(at.number, c.number) << c.index;
        EXPECT_EQ(image::data_sector_index(c.track_byte, c.number), c.index);
    }
    EXPECT_EQ(image::data_sector_index(3, 10), std::nullopt); // the directory
    EXPECT_EQ(image::data_sector_index(0x80 | 80, 1), std::nullopt);
    EXPECT_EQ(image::data_sector_index(4, 0), std::nullopt);
}

TEST(DiscWriter, FileFillingTheWholeDiscEndsOnItsLastSectorInEitherLayout)
{
    const std::size_t whole = image::DATA_SECTORS * image::data_sector::DATA_BYTES;
    for (const Layout layout : {Layout::Interleaved, Layout::Sequential}) {
        const std::vector<image::DiscFile> files = {file_of(whole)};
        const auto written = image::write_disc(files, layout);
        ASSERT_TRUE(std::holds_alternative<image::WrittenDisc>(written));
        const auto& disc = std::get<image::WrittenDisc>(written).bytes;
        const auto entry = sector_of(disc, layout, 0, 1).first(image::entry::SIZE);
        EXPECT_EQ(common::get_be16(entry, image::entry::SECTOR_COUNT), image::DATA_SECTORS);
        EXPECT_EQ(entry[image::entry::FIRST_TRACK], 4);
        EXPECT_EQ(entry[image::entry::FIRST_SECTOR], 1);
        const auto map = entry.subspan(image::entry::SECTOR_MAP, image::entry::SECTOR_MAP_LEN);
        EXPECT_TRUE(std::all_of(map.begin(), map.end(), [](std::uint8_t b) { return b == 0xFF; }));
        // The caller's bytes after the map stay as they were.
        EXPECT_EQ(entry[image::entry::LENGTH_HIGH], 0xEE);
        const auto last = sector_of(disc, layout, 0x80 | 79, 10);
        EXPECT_EQ(last[0], 0x5A);
        EXPECT_EQ(last[image::data_sector::LINK_TRACK], 0);
        EXPECT_EQ(last[image::data_sector::LINK_SECTOR], 0);
        const auto before_side1 = sector_of(disc, layout, 79, 10);
        EXPECT_EQ(before_side1[image::data_sector::LINK_TRACK], 0x80);
        EXPECT_EQ(before_side1[image::data_sector::LINK_SECTOR], 1);
    }
}

TEST(DiscWriter, TooManyFilesOrSectorsIsRefusedWithWhatItWouldTake)
{
    const std::size_t whole = image::DATA_SECTORS * image::data_sector::DATA_BYTES;
    const std::vector<image::DiscFile> too_large = {file_of(10), file_of(whole - image::data_sector::DATA_BYTES + 1)};
    const std::vector<image::DiscFile> too_many(81, file_of(0));
    const auto sectors = image::write_disc(too_large, Layout::Interleaved);
    const auto files = image::write_disc(too_many, Layout::Interleaved);
    ASSERT_TRUE(std::holds_alternative<std::string>(sectors));
    ASSERT_TRUE(std::holds_alternative<std::string>(files));
    EXPECT_EQ(std::get<std::string>(sectors), "1561 sectors needed, a disc holds 1560; nothing written");
    EXPECT_EQ(std::get<std::string>(files), "81 files, a disc holds 80; nothing written");
    EXPECT_TRUE(std::holds_alternative<image::WrittenDisc>(
        image::write_disc(std::vector<image::DiscFile>(80, file_of(0)), Layout::Interleaved)));
}
