#include "tape/tape_reader.h"

#include "common/bytes.h"
#include "tape/tap_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A block's bytes (flag, contents, checksum) without the .tap length.
Bytes block(std::uint8_t flag, const Bytes& contents)
{
    Bytes b = Bytes{flag} + contents;
    b.push_back(tape::xor_checksum(b));
    return b;
}

Bytes header(std::uint8_t type, const std::string& name, std::uint16_t length)
{
    Bytes h(tape::TAPE_HEADER_SIZE - 1, ' ');
    h[0] = type;
    std::copy(name.begin(), name.end(), h.begin() + 1);
    common::put_le16(h, tape::header::LENGTH - 1, length);
    common::put_le16(h, tape::header::PARAM1 - 1, 32768);
    common::put_le16(h, tape::header::PARAM2 - 1, 32768);
    return block(0x00, h);
}

Bytes data(std::size_t size)
{
    return block(0xFF, Bytes(size, 0xA5));
}

Bytes broken(Bytes b)
{
    b.back() ^= 0x01;
    return b;
}

Bytes tap(const std::vector<Bytes>& blocks)
{
    Bytes out;
    for (const Bytes& b : blocks) {
        common::append_le16(out, static_cast<std::uint16_t>(b.size()));
        out = out + b;
    }
    return out;
}

// A TZX block: a standard-speed one around a .tap block, or any other block as given.
Bytes standard(const Bytes& b)
{
    Bytes out = {0x10, 0xE8, 0x03};
    common::append_le16(out, static_cast<std::uint16_t>(b.size()));
    return out + b;
}

Bytes tzx(const std::vector<Bytes>& blocks)
{
    Bytes out = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    for (const Bytes& b : blocks)
        out = out + b;
    return out;
}

struct Case
{
    const char* what;
    Bytes tape;
    std::vector<std::string> names; // of the files read
    std::vector<std::string> problems;
};

} // namespace

TEST(TapeReader, FilesAndSkippedBlocksByNumberAndName)
{
    const Bytes turbo = Bytes{0x11} + Bytes(15, 0) + Bytes{2, 0, 0, 0xFF, 0xFF};
    const Bytes pure_data = Bytes{0x14} + Bytes(7, 0) + Bytes{1, 0, 0, 0xFF};
    const Bytes unknown = {0x7F, 2, 0, 0, 0, 'x', 'y'};
    const Case cases[] = {
        {"pair", tap({header(0, "prog", 3), data(3)}), {"prog"}, {}},
        {"data alone", tap({data(3)}), {}, {"block #0: data block without a header (3 bytes), skipped"}},
        {"header alone",
         tap({header(3, "a", 1), header(3, "b", 1), data(1)}),
         {"b"},
         {"block #0: \"a\": header without its data block, skipped"}},
        {"bad header",
         tap({broken(header(3, "a", 1)), data(1)}),
         {},
         {"block #0: \"a\": header with a bad checksum, skipped",
          "block #1: \"a\": data of a header skipped before, skipped"}},
        {"bad data",
         tap({header(3,
                     "\x01"
                     "b",
                     1),
              broken(data(1))}),
         {},
         {"block #1: \"?b\": data with a bad checksum, skipped"}},
        {"length",
         tap({header(3, "a", 5), data(4)}),
         {},
         {"block #1: \"a\": data of 4 bytes, the header says 5, skipped"}},
        {"type",
         tap({header(4, "a", 1), data(1)}),
         {},
         {"block #0: \"a\": header of unknown type 4, skipped",
          "block #1: \"a\": data of a header skipped before, skipped"}},
        {"flag",
         tap({block(0x80, {1}), header(1, "\x01z", 1), data(1)}),
         {"\x01z"},
         {"block #0: flag 0x80 on a block of 3 bytes: neither a header nor a data block, skipped"}},
        {"cut off",
         tap({header(3, "a", 1), data(1)}) + Bytes{10, 0, 1, 2},
         {"a"},
         {"block #2: cut off (10 bytes announced, 2 left); the rest of the tape is not read"}},
        {"tzx with information between header and data",
         tzx({Bytes{0x30, 2, 'h', 'i'}, standard(header(3, "a", 2)), Bytes{0x32, 3, 0, 1, 0, 0}, Bytes{0x20, 0, 0},
              Bytes{0x21, 1, 'g'}, standard(data(2)), Bytes{0x22}}),
         {"a"},
         {}},
        {"tzx turbo after a header",
         tzx({standard(header(3, "a", 2)), turbo, standard(header(3, "b", 2)), standard(data(2))}),
         {"b"},
         {"block #0: \"a\": header without its data block, skipped", "block #1: turbo speed data block, skipped"}},
        {"tzx pure data and an unknown block",
         tzx({pure_data, unknown, standard(header(3, "a", 2)), standard(data(2))}),
         {"a"},
         {"block #0: pure data block, skipped", "block #1: unknown block type 0x7F, skipped"}},
        {"tzx cut off",
         tzx({standard(header(3, "a", 2)), Bytes{0x10, 0, 0, 100, 0, 0xFF}}),
         {},
         {"block #0: \"a\": header without its data block, skipped",
          "block #1: cut off (104 bytes announced, 5 left); the rest of the tape is not read"}},
    };
    for (const Case& c : cases) {
        const tape::TapeContents read = tape::read_tape(c.tape);
        std::vector<std::string> names;
        for (const tape::TapeFile& f : read.files) {
            names.push_back(std::string(f.header.begin() + tape::header::NAME,
                                        f.header.begin() + tape::header::NAME + tape::header::NAME_LEN));
            names.back().erase(names.back().find_last_not_of(' ') + 1);
            EXPECT_EQ(f.data.size(), common::get_le16(f.header, tape::header::LENGTH)) << c.what;
        }
        EXPECT_EQ(names, c.names) << c.what;
        EXPECT_EQ(read.problems, c.problems) << c.what;
    }
}
