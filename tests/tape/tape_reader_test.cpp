#include "tape/tape_reader.h"

#include "common/bytes.h"
#include "tape/tap_writer.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A block as a .tap file holds it (length, flag, contents, checksum); `broken` spoils the checksum.
Bytes block(std::uint8_t flag, const Bytes& contents, bool broken = false)
{
    Bytes b = {0, 0, flag};
    b = b + contents;
    b.push_back(tape::xor_checksum(std::span(b).subspan(2)) ^ (broken ? 1 : 0));
    common::put_le16(b, 0, static_cast<std::uint16_t>(b.size() - 2));
    return b;
}

Bytes header(std::uint8_t type, const std::string& name, std::uint16_t length, bool broken = false)
{
    Bytes h(image::TAPE_HEADER_SIZE - 1, ' ');
    h[0] = type;
    std::copy(name.begin(), name.end(), h.begin() + 1);
    common::put_le16(h, image::tape_header::LENGTH - 1, length);
    return block(0x00, h, broken);
}

Bytes data(std::size_t size, bool broken = false)
{
    return block(0xFF, Bytes(size, 0xA5), broken);
}

// The same block in a TZX standard-speed block, with a pause of 1,000 ms.
Bytes standard(const Bytes& tap_block)
{
    return Bytes{0x10, 0xE8, 0x03} + tap_block;
}

const Bytes TZX = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};

} // namespace

TEST(TapeReader, FilesAndSkippedBlocksByNumberAndName)
{
    const Bytes turbo = Bytes{0x11} + Bytes(15, 0) + Bytes{2, 0, 0, 0xFF, 0xFF};
    const Bytes pure_data = Bytes{0x14} + Bytes(7, 0) + Bytes{1, 0, 0, 0xFF};
    const Bytes unknown = {0x7F, 2, 0, 0, 0, 'x', 'y'};
    const Bytes information =
        Bytes{0x30, 2, 'h', 'i'} + Bytes{0x32, 3, 0, 1, 0, 0} + Bytes{0x20, 0, 0} + Bytes{0x21, 1, 'g'} + Bytes{0x22};
    const struct
    {
        Bytes tape;
        std::vector<std::string> names; // of the files read
        std::vector<std::string> problems;
    } cases[] = {
        {header(0, "prog", 3) + data(3), {"prog"}, {}},
        {data(3), {}, {"block #0: data block without a header (3 bytes), skipped"}},
        {header(3, "a", 1) + header(3, "b", 1) + data(1),
         {"b"},
         {"block #0: \"a\": header without its data block, skipped"}},
        {header(3, "a", 1, true) + data(1),
         {},
         {"block #0: \"a\": header with a bad checksum, skipped",
          "block #1: \"a\": data of a header skipped before, skipped"}},
        {header(3, "\x01z", 1) + data(1, true), {}, {"block #1: \"?z\": data with a bad checksum, skipped"}},
        {header(3, "a", 5) + data(4), {}, {"block #1: \"a\": data of 4 bytes, the header says 5, skipped"}},
        {header(4, "a", 1) + data(1),
         {},
         {"block #0: \"a\": header of unknown type 4, skipped",
          "block #1: \"a\": data of a header skipped before, skipped"}},
        {block(0x80, {1}) + header(3, "a", 1) + data(1) + Bytes{10, 0, 1, 2},
         {"a"},
         {"block #0: flag 0x80 on a block of 3 bytes: neither a header nor a data block, skipped",
          "block #3: cut off (10 bytes announced, 2 left); the rest of the tape is not read"}},
        {TZX + standard(header(3, "a", 2)) + information + standard(data(2)), {"a"}, {}},
        {TZX + standard(header(3, "a", 2)) + turbo + pure_data + unknown + standard(header(3, "b", 2)) +
             standard(data(2)) + Bytes{0x10, 0, 0, 100, 0, 0xFF},
         {"b"},
         {"block #0: \"a\": header without its data block, skipped", "block #1: turbo speed data block, skipped",
          "block #2: pure data block, skipped", "block #3: unknown block type 0x7F, skipped",
          "block #6: cut off (104 bytes announced, 5 left); the rest of the tape is not read"}},
    };
    for (const auto& c : cases) {
        const tape::TapeContents read = tape::read_tape(c.tape);
        std::vector<std::string> names;
        for (const tape::TapeFile& f : read.files) {
            names.push_back(tape::shown_name(f.header));
            EXPECT_EQ(f.data.size(), common::get_le16(f.header, image::tape_header::LENGTH));
        }
        EXPECT_EQ(names, c.names) << c.problems.size();
        EXPECT_EQ(read.problems, c.problems);
    }
}

TEST(TapeReader, TapeCheckRefusesWhatIsNoTape)
{
    Bytes dsk(256, 0);
    const std::string signature = "EXTENDED CPC DSK File\r\nDisk-Info\r\n";
    std::copy(signature.begin(), signature.end(), dsk.begin());
    const std::string plain = "not a tape file (no TZX signature, and no .tap block at its start)";
    const struct
    {
        Bytes bytes;
        std::string refusal; // "" for a tape
    } cases[] = {
        {header(0, "prog", 3) + data(3), ""},
        {header(0, "prog", 3, true), ""}, // a damaged header is still a tape's
        {data(3, true), ""},
        {block(0x80, {1, 2}), ""},
        {TZX, ""},
        {block(0x80, {1, 2}, true), plain},
        {Bytes{0, 0, 0, 0}, plain},
        {Bytes{1, 0, 0xFF}, plain},
        {Bytes{9, 0, 0xFF, 1, 2}, plain},
        {{}, "not a tape file (empty)"},
        {dsk, "not a tape file (a DSK image)"},
        {Bytes{0x1F, 0x8B, 8, 0}, "not a tape file (a gzip file)"},
        {Bytes(819200, 0xE5), "not a tape file (819,200 bytes, a disc image's size)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tape::not_a_tape(c.bytes).value_or(""), c.refusal) << c.bytes.size();
}

// Whatever the input's size, the reader keeps no more files than a disc holds and a line for the first few skipped
// blocks; the rest are counted.
TEST(TapeReader, KeepsWhatADiscHoldsAndCountsTheRest)
{
    Bytes many;
    for (int i = 0; i < 100; ++i)
        many = many + header(3, "f" + std::to_string(i), 1) + data(1);
    many = many + header(3, "lost", 1) + Bytes(2'000'000, 0) + data(2);
    const tape::TapeContents read = tape::read_tape(many);
    ASSERT_EQ(read.files.size(), 80U);
    EXPECT_EQ(tape::shown_name(read.files.back().header), "f79");
    EXPECT_EQ(read.files_beyond, 20U);
    EXPECT_EQ(read.sectors_beyond, 20U);
    EXPECT_EQ(read.problems.size(), tape::MAX_LISTED_BLOCKS);
    EXPECT_EQ(read.problems.front(), "block #200: \"lost\": header without its data block, skipped");
    EXPECT_EQ(read.skipped_blocks(), 1'000'002U);
    EXPECT_EQ(read.unlisted_lines(), (std::vector<std::string>{"... and 999,996 more blocks too short to hold anything",
                                                               "... and 1 more data block without a header"}));
    EXPECT_EQ(tape::skipped_summary(read.skipped),
              "1,000,000 blocks too short to hold anything, 1 data block without a header, 1 header without its "
              "data block");

    // 1,560 sectors hold twelve files of 65,533 bytes, the most a block holds (129 sectors each); the thirteenth is
    // counted.
    Bytes large;
    for (int i = 0; i < 13; ++i)
        large = large + header(3, "big", 65533) + data(65533);
    const tape::TapeContents big = tape::read_tape(large);
    EXPECT_EQ(big.files.size(), 12U);
    EXPECT_EQ(big.files_beyond, 1U);
    EXPECT_EQ(big.sectors_beyond, 129U);
}
