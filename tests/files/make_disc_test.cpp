#include "files/make_disc.h"

#include "common/bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

tape::TapeFile tape_file(std::uint8_t type, const std::string& name, std::uint16_t length, std::uint16_t param1,
                         std::uint16_t param2)
{
    tape::TapeFile f;
    f.header[image::tape_header::TYPE] = type;
    std::fill_n(f.header.begin() + image::tape_header::NAME.at, image::tape_header::NAME.length, std::uint8_t{' '});
    std::copy(name.begin(), name.end(), f.header.begin() + image::tape_header::NAME.at);
    common::put_le16(f.header, image::tape_header::LENGTH, length);
    common::put_le16(f.header, image::tape_header::PARAM1, param1);
    common::put_le16(f.header, image::tape_header::PARAM2, param2);
    f.data.assign(length, 0x42);
    return f;
}

} // namespace

// Expected entries written out by hand; the BASIC and the code one are those of success.mgt and of the +SYS file
// of solo-forth-boot.mgt, byte for byte.
TEST(MakeDisc, EntryOfEachTapeTypeAsThePlusDWritesIt)
{
    const struct
    {
        tape::TapeFile file;
        std::uint8_t status;
        Bytes header; // entry bytes 211-219, also the first nine bytes of the chain
    } cases[] = {
        {tape_file(0, "Success", 0x24, 10, 0x24), 1, {0x00, 0x24, 0x00, 0xCB, 0x5C, 0x24, 0x00, 0x0A, 0x00}},
        {tape_file(3, "+SYS 2a", 6656, 32768, 32768), 4, {0x03, 0x00, 0x1A, 0x00, 0x80, 0xFF, 0xFF, 0x00, 0x00}},
        {tape_file(3, "pic", 6912, 16384, 32768), 7, {0x03, 0x00, 0x1B, 0x00, 0x40, 0xFF, 0xFF, 0x00, 0x00}},
        {tape_file(3, "notpic", 6912, 16385, 32768), 4, {0x03, 0x00, 0x1B, 0x01, 0x40, 0xFF, 0xFF, 0x00, 0x00}},
        {tape_file(3, "notpic", 6913, 16384, 32768), 4, {0x03, 0x01, 0x1B, 0x00, 0x40, 0xFF, 0xFF, 0x00, 0x00}},
        {tape_file(1, "x", 53, 0x9800, 32768), 2, {0x01, 0x35, 0x00, 0x00, 0x98, 0x98, 0xFF, 0xFF, 0xFF}},
        {tape_file(2, "x$", 8, 0xD800, 32768), 3, {0x02, 0x08, 0x00, 0x00, 0xD8, 0xD8, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        const image::DiscFile d = files::disc_file(c.file);
        const std::string name(c.file.header.begin() + image::tape_header::NAME.at,
                               c.file.header.begin() + image::tape_header::NAME.at + image::tape_header::NAME.length);
        EXPECT_EQ(d.entry[image::entry::STATUS], c.status) << name;
        EXPECT_EQ(std::string(d.entry.begin() + image::entry::NAME,
                              d.entry.begin() + image::entry::NAME + image::entry::NAME_LEN),
                  name);
        EXPECT_EQ(Bytes(d.entry.begin() + image::entry::FILE_HEADER,
                        d.entry.begin() + image::entry::FILE_HEADER + image::FILE_HEADER_SIZE),
                  c.header)
            << name;
        EXPECT_EQ(d.body, c.header + c.file.data) << name;
    }
}
