#include "tape/tap_writer.h"

#include "common/bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

image::TapeHeader code_header(std::uint8_t name_byte, std::uint16_t length)
{
    image::TapeHeader h{};
    h[image::tape_header::TYPE] = image::TAPE_BYTES;
    std::fill_n(h.begin() + image::tape_header::NAME.at, image::tape_header::NAME.length, name_byte);
    common::put_le16(h, image::tape_header::LENGTH, length);
    common::put_le16(h, image::tape_header::PARAM1, 0x4000);
    common::put_le16(h, image::tape_header::PARAM2, 0x8000);
    return h;
}

} // namespace

TEST(XorChecksum, EmptyIsZeroAndTenBlanksCancelOut)
{
    EXPECT_EQ(tape::xor_checksum({}), 0x00);
    const image::TapeHeader header = code_header(' ', 6912);
    EXPECT_EQ(tape::xor_checksum(header), 0xD8);
}

TEST(WriteTapBlocks, DataLengthWordKeepsTheLow16Bits)
{
    for (const auto& [length, low, high] :
         {std::tuple{65533u, 0xFF, 0xFF}, {65534u, 0x00, 0x00}, {65535u, 0x01, 0x00}}) {
        const std::vector<std::uint8_t> data(length, 0x11);
        std::vector<std::uint8_t> tap;
        tape::write_tap_blocks(tap, code_header(' ', static_cast<std::uint16_t>(length)), data);
        ASSERT_EQ(tap.size(), 21u + 2u + 1u + length + 1u);
        EXPECT_EQ(tap[21], low) << length;
        EXPECT_EQ(tap[22], high) << length;
        EXPECT_EQ(tap.back(), (length % 2 ? 0x11 : 0x00) ^ 0xFF) << length;
    }
}
