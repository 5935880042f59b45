#include "image/disc_writer.h"

#include "common/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>

using image::Layout;

// The sector order on side 0 and the sector maps are checked against solo-forth-boot.mgt (make_command_test.cpp);
// this one reaches side 1 and the disc's last sector.
TEST(DiscWriter, FileFillingTheWholeDiscEndsOnItsLastSectorAndOneByteMoreIsRefused)
{
    const std::size_t whole = image::DATA_SECTORS * image::data_sector::DATA_BYTES;
    image::DiscFile file;
    std::fill(file.entry.begin() + image::entry::SECTOR_COUNT, file.entry.end(), std::uint8_t{0xEE});
    file.body.assign(whole, 0x5A);
    for (const Layout layout : {Layout::Interleaved, Layout::Sequential}) {
        const auto written = image::build_disc(std::span(&file, 1), layout);
        ASSERT_TRUE(std::holds_alternative<image::WrittenDisc>(written));
        const auto& disc = std::get<image::WrittenDisc>(written).bytes;
        const auto sector = [&](std::uint8_t track_byte, int number) {
            const auto at = static_cast<std::size_t>(image::sector_offset(layout, track_byte, number - 1));
            return std::span<const std::uint8_t>(disc).subspan(at, image::SECTOR_SIZE);
        };
        const auto entry = sector(0, 1).first(image::entry::SIZE);
        EXPECT_EQ(common::get_be16(entry, image::entry::SECTOR_COUNT), image::DATA_SECTORS);
        EXPECT_EQ(entry[image::entry::FIRST_TRACK], 4);
        EXPECT_EQ(entry[image::entry::FIRST_SECTOR], 1);
        const auto map = entry.subspan(image::entry::SECTOR_MAP, image::entry::SECTOR_MAP_LEN);
        EXPECT_TRUE(std::all_of(map.begin(), map.end(), [](std::uint8_t b) { return b == 0xFF; }));
        EXPECT_EQ(entry[image::entry::LENGTH_HIGH], 0xEE); // the caller's bytes after the map stay
        EXPECT_EQ(sector(79, 10)[image::data_sector::LINK_TRACK], 0x80);
        EXPECT_EQ(sector(79, 10)[image::data_sector::LINK_SECTOR], 1);
        EXPECT_EQ(sector(0x80 | 79, 10)[0], 0x5A);
        EXPECT_EQ(sector(0x80 | 79, 10)[image::data_sector::LINK_TRACK], 0);
    }
    const image::DiscFile one_more[] = {{{}, {1}}, file};
    const auto refused = image::build_disc(one_more, Layout::Interleaved);
    ASSERT_TRUE(std::holds_alternative<std::string>(refused));
    EXPECT_EQ(std::get<std::string>(refused), "1561 sectors needed, a disc holds 1560; nothing written");
}
