// Writes the seed inputs of every fuzz target into FOLDER/<target>/: images made by the test image builder (clean
// files of every kind, and the faults the unit tests name: a looped chain, links off the disc, a shared sector, a
// wrong count, a damaged header, short and long files), BASIC loaders with disc syntax, SAM BASIC programs and SAM
// screens of each mode, settings files, +D snapshot entries with their files, and containers: gzip files, the real
// zip archives kept with the tests, the first tracks of DSK and SAD images.
// Usage: make_corpus FOLDER
#include "fuzz_support.h"

#include "common/bytes.h"
#include "common/settings.h"
#include "image/directory.h"
#include "inspect/sam_screen.h"
#include "snapshot/plusd_snapshot.h"
#include "snapshot/snapshot.h"
#include "support/dsk_builder.h"
#include "support/image_builder.h"
#include "support/packing.h"
#include "tape/tap_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

using testing_support::ImageBuilder;
using testing_support::plusd_snapshot_file;
using testing_support::Sector;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t LOAD = 0xEF;
constexpr std::uint8_t SAVE = 0xF8;
constexpr std::uint8_t CODE = 0xAF;
constexpr std::uint8_t SCREEN = 0xAA;
constexpr std::uint16_t SCREEN_START = 16384;
constexpr std::size_t SCREEN_BYTES = 6912;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes ascii(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

Bytes pattern(std::size_t size, std::uint8_t seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    return bytes;
}

// A line of tokenised BASIC: number high byte first, length low byte first, tokens, ENTER.
Bytes basic_line(std::uint16_t number, const Bytes& tokens)
{
    const auto length = static_cast<std::uint16_t>(tokens.size() + 1);
    Bytes line = {static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number & 0xFF)};
    common::append_le16(line, length);
    return line + tokens + Bytes{'\r'};
}

// Drive n as BASIC stores a small number: its digit, then 0x0E and the five bytes 00 00 n 00 00.
Bytes drive(char letter, std::uint8_t n)
{
    return Bytes{static_cast<std::uint8_t>(letter), static_cast<std::uint8_t>('0' + n), 0x0E, 0, 0, n, 0, 0};
}

const Bytes CHANNEL = ascii("*\"m\";");

std::vector<Bytes> basic_programs()
{
    const Bytes loader = basic_line(10, Bytes{LOAD} + drive('d', 1) + ascii("\"screen\"") + Bytes{SCREEN}) +
                         basic_line(20, Bytes{LOAD} + drive('D', 2) + ascii("\"code\"") + Bytes{CODE}) +
                         basic_line(30, Bytes{SAVE} + drive('d', 1) + ascii(";a$"));
    const Bytes channels =
        basic_line(10, Bytes{LOAD} + CHANNEL + Bytes{'1', 0x0E, 0, 0, 1, 0, 0, ';'} + ascii("\"a\"")) +
        basic_line(20, Bytes{LOAD} + CHANNEL + Bytes{0xBC, 0xA7, ';'} + ascii("\"b\"") + Bytes{CODE}) +
        basic_line(30, Bytes{SAVE} + CHANNEL + Bytes{0xB0, '"', '1', '"', ';'} + ascii("\"c\""));
    return {loader, channels, Bytes{LOAD, 'd', '$'}, Bytes{LOAD} + CHANNEL, basic_line(1, ascii("REM no disc"))};
}

std::vector<std::string> settings_files()
{
    return {
        "[Main]\r\nCurrentdir = /home/user/\r\nsavefile = /home/user/disc.tap\r\nBasStrip = 1\r\nSAMDisk = \r\n",
        "\xEF\xBB\xBF; kestrel\n[main]\nCURRENTDIR=/tmp/\nbasstrip = -2147483649\n[Main]\nsavefile=second\n",
        "[Other]\rBasStrip = 7\r[Main]\r  SAMDisk\t=\t\"/usr/bin/samdisk\"  \rBasStrip = +12x",
        "[Main\nsavefile = a = b\nsavefile = duplicate\n;comment\n[\n=\n",
    };
}

// Disc sectors (side 0 tracks 0-79, then side 1) needed to reach every sector of the chains.
std::size_t sectors_reaching(const std::vector<std::vector<Sector>>& chains)
{
    std::size_t count = fuzz::DIRECTORY_SECTORS;
    const std::size_t per_side = fuzz::DISC_SECTORS / image::SIDES;
    for (const auto& chain : chains) {
        for (const Sector s : chain) {
            const std::size_t side = (s.track_byte & image::SIDE_BIT) ? 1 : 0;
            const std::size_t track = s.track_byte & image::TRACK_MASK;
            count = std::max(count, side * per_side + track * image::SECTORS_PER_TRACK + s.number);
        }
    }
    return count;
}

struct Seed
{
    std::string name;
    Bytes input;
};

Seed image_seed(const std::string& name, const ImageBuilder& b, const std::vector<std::vector<Sector>>& chains,
                std::uint8_t selector_bits = 0, std::uint16_t size_param = 0)
{
    Bytes input = fuzz::encode_image(b.bytes(), b.layout(), sectors_reaching(chains), selector_bits);
    common::put_be16(input, fuzz::SIZE_PARAM, size_param);
    if (selector_bits == 0 || selector_bits == fuzz::selector::OPTION) {
        const auto made = fuzz::make_image(input, "corpus").bytes;
        fuzz::require(std::equal(made.begin(), made.end(), b.bytes().begin(), b.bytes().end()),
                      "a seed gives back the image it was made from");
    }
    return {name, std::move(input)};
}

std::vector<Seed> image_seeds()
{
    std::vector<Seed> seeds;
    seeds.push_back({"empty-mgt", Bytes(fuzz::INPUT_HEADER, 0)});
    seeds.push_back({"empty-img", Bytes{fuzz::selector::SEQUENTIAL, 0, 0}});

    for (const image::Layout layout : {image::Layout::Interleaved, image::Layout::Sequential}) {
        ImageBuilder b(layout);
        const Bytes program = basic_programs()[0];
        const auto size = static_cast<std::uint16_t>(program.size());
        std::vector<std::vector<Sector>> chains = {
            b.add_zx_file(0, 1, "loader", program + pattern(40, 1), 0, 10, size),
            b.add_zx_file(1, 2, "numbers", pattern(600, 2)),
            b.add_zx_file(2, 3, "letters", pattern(300, 3)),
            b.add_zx_file(3, 4, "code", pattern(1200, 4), 32768),
            b.add_zx_file(4, 7, "screen", pattern(SCREEN_BYTES, 7), SCREEN_START),
            b.add_zx_file(5, 5, "snapshot", pattern(700, 5)),
        };
        const bool mgt = layout == image::Layout::Interleaved;
        seeds.push_back(image_seed(mgt ? "zx-files-mgt" : "zx-files-img", b, chains, fuzz::selector::OPTION));
    }
    {
        ImageBuilder b;
        std::vector<std::vector<Sector>> chains;
        for (std::uint8_t type = 16; type <= 20; ++type)
            chains.push_back(b.add_sam_file(type - 16, type, "sam" + std::to_string(type), pattern(900, type), 3));
        seeds.push_back(image_seed("sam-files", b, chains));
    }
    {
        ImageBuilder b;
        const auto chain = b.add_zx_file(0, 4, "loop", pattern(1500, 9));
        b.link(chain.back(), chain.front());
        common::put_be16(b.entry_bytes(0), image::entry::SECTOR_COUNT, 65535);
        seeds.push_back(image_seed("chain-loop", b, {chain}));
    }
    {
        ImageBuilder b;
        const auto wild = b.add_zx_file(0, 4, "wild", pattern(1500, 11));
        b.link(wild[0], {255, 200});
        const auto dir = b.add_zx_file(1, 3, "dirtrack", pattern(1500, 12));
        b.link(dir[1], {2, 11});
        const auto zero = b.add_zx_file(2, 2, "sector0", pattern(1500, 13));
        b.link(zero[0], {5, 0});
        seeds.push_back(image_seed("links-off-disc", b, {wild, dir, zero}));
    }
    {
        ImageBuilder b;
        const auto first = b.add_zx_file(0, 4, "first", pattern(1500, 14));
        const auto second = b.add_zx_file(1, 4, "second", pattern(1500, 15));
        b.link(second[0], first[1]);
        common::put_be16(b.entry_bytes(1), image::entry::SECTOR_COUNT, 4);
        b.sector(first[0])[1] ^= 0xFF;
        seeds.push_back(image_seed("shared-sector-bad-header", b, {first, second}));
    }
    {
        ImageBuilder b;
        const auto code = b.add_zx_file(0, 0xC4,
                                        "\x01\x7F\xFF"
                                        "code",
                                        pattern(5000, 16), 40000);
        seeds.push_back(image_seed("hidden-protected-odd-name", b, {code}));
        // Cut inside the chain: the file's third sector lies beyond the end.
        const std::size_t cut = static_cast<std::size_t>(image::sector_offset(b.layout(), code[2].track_byte, 0));
        seeds.push_back(image_seed("short-image", b, {code}, fuzz::selector::SHORT,
                                   static_cast<std::uint16_t>(cut / fuzz::SHORT_STEP)));
        seeds.push_back(image_seed("long-image", b, {code}, fuzz::selector::LONG, 1000));
    }
    {
        // The chain runs on into sectors the input does not hold, which the pattern fills.
        ImageBuilder b;
        const auto code = b.add_zx_file(0, 4, "random", pattern(1500, 17));
        b.link(code.back(), {0x85, 3});
        common::put_be16(b.entry_bytes(0), image::entry::SECTOR_COUNT, 200);
        common::put_le16(b.entry_bytes(0), image::entry::ZX_LENGTH, 65535);
        seeds.push_back(image_seed("into-random-fill", b, {code}, fuzz::selector::RANDOM_FILL));
    }
    return seeds;
}

Bytes first_bytes(Bytes bytes, std::size_t count)
{
    bytes.resize(std::min(bytes.size(), count));
    return bytes;
}

std::vector<std::pair<std::string, Bytes>> container_seeds(const char* target)
{
    constexpr std::size_t DSK_SEED = 32768;
    constexpr std::size_t SAD_SEED = 8192;
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", pattern(3000, 4), 32768);
    const Bytes image = b.bytes();
    std::vector<std::pair<std::string, Bytes>> seeds;
    const std::string_view name = target;
    const auto gzip = [](const Bytes& bytes) {
        return testing_support::gzip_bytes(bytes);
    };
    if (name == "gzip") {
        seeds.push_back({"image", gzip(image)});
        seeds.push_back({"stored-name", testing_support::gzip_bytes(pattern(700, 4), "disc.img")});
        seeds.push_back({"two-members", gzip(pattern(700, 1)) + gzip(pattern(900, 2))});
        seeds.push_back({"cut", first_bytes(gzip(pattern(5000, 3)), 200)});
    } else if (name == "zip") {
        for (const char* file : {"image_upper.zip", "image.mgt.gz.zip", "image_multiple.zip"})
            seeds.push_back(
                {file, testing_support::read_file(testing_support::real_images_dir() / "containers" / file)});
    } else if (name == "dsk") {
        using testing_support::DskBuilder;
        seeds.push_back({"edsk", first_bytes(DskBuilder().build(image), DSK_SEED)});
        seeds.push_back({"cpcemu", first_bytes(DskBuilder(80, 2, 10, 2, false).build(image), DSK_SEED)});
        seeds.push_back({"edsk-9-sectors", first_bytes(DskBuilder(80, 2, 9).build(), DSK_SEED)});
        seeds.push_back({"edsk-damaged", first_bytes(DskBuilder()
                                                         .ids(0, 0, {10, 9, 8, 7, 6, 5, 4, 3, 2, 1})
                                                         .ids(0, 1, {1, 2, 2, 4, 5, 6, 7, 8, 9})
                                                         .status(1, 0, 3, 0x20, 0x20)
                                                         .build(image),
                                                     DSK_SEED)});
    } else if (name == "sad") {
        const std::string signature = "Aley's disk backup";
        for (const std::uint8_t sectors : {std::uint8_t{10}, std::uint8_t{9}}) {
            Bytes sad(signature.begin(), signature.end());
            sad.insert(sad.end(), {2, 80, sectors, 8});
            sad.insert(sad.end(), image.begin(), image.begin() + SAD_SEED);
            seeds.push_back({"sad-" + std::to_string(sectors), sad});
        }
    }
    return seeds;
}

// A ZX tape header record: flag 0, type, name padded with blanks, length and the two parameters.
image::TapeHeader tape_header(std::uint8_t type, std::string_view name, std::uint16_t length, std::uint16_t param1,
                              std::uint16_t param2)
{
    image::TapeHeader h{};
    h[image::tape_header::TYPE] = type;
    std::fill_n(h.begin() + image::tape_header::NAME.at, image::tape_header::NAME.length, std::uint8_t{' '});
    std::copy_n(name.begin(), std::min(name.size(), image::tape_header::NAME.length),
                h.begin() + image::tape_header::NAME.at);
    common::put_le16(h, image::tape_header::LENGTH, length);
    common::put_le16(h, image::tape_header::PARAM1, param1);
    common::put_le16(h, image::tape_header::PARAM2, param2);
    return h;
}

// Tapes for the tape reader: a clean .tap of every ZX type, the same blocks in a .tzx between informational and
// turbo blocks, and a .tap with a bad checksum, data without a header and a block cut off.
std::vector<Seed> tape_seeds()
{
    const Bytes program = basic_programs()[0];
    const auto program_size = static_cast<std::uint16_t>(program.size());
    Bytes tap;
    tape::write_tap_blocks(tap, tape_header(0, "loader", program_size, 10, program_size), program);
    tape::write_tap_blocks(tap, tape_header(1, "numbers", 20, 0x9800, 0x8000), pattern(20, 2));
    tape::write_tap_blocks(tap, tape_header(2, "letters", 12, 0xC100, 0x8000), pattern(12, 3));
    tape::write_tap_blocks(tap, tape_header(3, "screen", SCREEN_BYTES, SCREEN_START, 0x8000), pattern(SCREEN_BYTES, 7));

    // TZX: a text description, a pause, the blocks as standard-speed blocks, then a small turbo block.
    Bytes tzx = ascii("ZXTape!\x1A") + Bytes{1, 20, 0x30, 4} + ascii("demo") + Bytes{0x20, 0xE8, 0x03};
    for (std::size_t at = 0; at + 2 <= tap.size();) {
        const std::size_t length = common::get_le16(tap, at);
        tzx = tzx + Bytes{0x10, 0xE8, 0x03} +
              Bytes(tap.begin() + static_cast<std::ptrdiff_t>(at),
                    tap.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
        at += 2 + length;
    }
    tzx = tzx + Bytes{0x11} + Bytes(15, 1) + Bytes{3, 0, 0, 0xFF, 1, 2};

    Bytes damaged;
    tape::write_tap_blocks(damaged, tape_header(3, "bad sum", 100, 32768, 32768), pattern(100, 5));
    damaged[damaged.size() - 1] ^= 1;
    const Bytes orphan = {5, 0, 0xFF, 1, 2, 3, 0xFD};
    damaged = damaged + orphan + Bytes{0x40, 0x00, 0x00};
    return {{"tap", tap}, {"tzx", tzx}, {"damaged-tap", damaged}};
}

// Snapshot inputs: a +D directory entry, then the file's bytes. 48K and 128K files with their stacks in each part
// of memory, one with bank 5 paged (the .sna then repeats it), and a file one byte short; and a disc image ("disc")
// holding a 48K and a 128K snapshot.
std::vector<Seed> snapshot_seeds()
{
    using testing_support::SnapRegisters;
    constexpr std::size_t RAM_48K = 49152;
    constexpr std::size_t RAM_128K = 131072;
    const auto input = [](const testing_support::PlusdSnapshotFile& file) {
        return file.entry + file.stream;
    };
    std::vector<Seed> seeds;
    SnapRegisters regs;
    regs.af = 0x1234;
    regs.pc = 0x8000;
    regs.i = 0x3F;
    regs.interrupts_enabled = true;
    for (const std::uint16_t sp : std::array<std::uint16_t, 3>{0x5F00, 0xFF40, 0x0000}) {
        regs.sp = sp;
        seeds.push_back({"48k-sp-" + std::to_string(sp), input(plusd_snapshot_file(regs, pattern(RAM_48K, 21)))});
    }
    regs.i = 0xFE;
    for (const std::uint8_t paging : std::array<std::uint8_t, 3>{0x10, 0x03, 0x15}) {
        regs.sp = 0xC100;
        seeds.push_back(
            {"128k-paging-" + std::to_string(paging), input(plusd_snapshot_file(regs, pattern(RAM_128K, 22), paging))});
    }
    ImageBuilder b;
    const std::vector<std::vector<Sector>> chains = {
        b.add_plusd_snapshot(0, "snap48", plusd_snapshot_file(regs, pattern(RAM_48K, 23))),
        b.add_plusd_snapshot(1, "snap128", plusd_snapshot_file(regs, pattern(RAM_128K, 24), 0x11))};
    seeds.push_back(image_seed("disc", b, chains));
    Bytes short_file = input(plusd_snapshot_file(regs, Bytes(RAM_48K, 0xED)));
    short_file.pop_back();
    seeds.push_back({"48k-short", short_file});
    return seeds;
}

// SAM BASIC programs as SAM Basic files hold them: a line with a string, one with a hidden number and a function
// after 0xFF, the end marker and some variables after it.
std::vector<std::pair<std::string, Bytes>> sam_programs()
{
    const Bytes hello{0x00, 0x0A, 0x10, 0x00, 0xBB, '"', 'H', 'e', 'l',  'l', 'o',
                      ' ',  'w',  'o',  'r',  'l',  'd', '!', '"', 0x0D, 0xFF};
    Bytes loop = hello;
    loop.pop_back();
    loop = loop + Bytes{0x00, 0x14, 0x0C, 0x00, 0xD4, ':', 0xBB, 0xFF, 0x70, '6', '5', 0x0E, 0, 0, 65, 0, 0, 0x0D};
    loop = loop + Bytes{0x00, 0x1E, 0x02, 0x00, 0xD5, 0x0D, 0xFF, 0x41, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00};
    return {{"hello", hello}, {"loop", loop}};
}

void write_seed(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes)
{
    std::filesystem::create_directories(folder);
    testing_support::write_file(folder / name, bytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus FOLDER\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::vector<Seed> images = image_seeds();
    for (const char* target : {"directory", "scan", "extract", "convert", "system_file", "export"}) {
        for (const Seed& seed : images)
            write_seed(root / target, seed.name, seed.input);
    }
    // The thumbnail's input leads with the size asked.
    for (const Seed& seed : images)
        write_seed(root / "thumbnail", seed.name, Bytes{127} + seed.input);
    const std::vector<Bytes> programs = basic_programs();
    for (std::size_t i = 0; i < programs.size(); ++i) {
        write_seed(root / "basic_rewrite", "program-" + std::to_string(i), programs[i]);
        // The listing's input leads with the program length, here the whole program.
        Bytes listing_input;
        common::append_le16(listing_input, static_cast<std::uint16_t>(programs[i].size()));
        write_seed(root / "basic_listing", "program-" + std::to_string(i), listing_input + programs[i]);
    }
    // Packed by bytes: one block of 8 bytes ("ab", a run of four 'c', the escape doubled for itself and 0x11), then
    // the end; and a real disc's first directory sector with its first data sector in both layouts.
    write_seed(root / "masterbasic_unpack", "by-bytes",
               Bytes{0, 6, 0xEE, 7, 0, 8, 0, 0x11, 'a', 'b', 0xEE, 'c', 4, 0xEE, 0xEE, 0});
    write_seed(root / "masterbasic_unpack", "by-nibbles", Bytes{0x31, 0xF0, 0x12, 0xFF, 0x00, 0x44, 0xFF});
    {
        const Bytes disc = testing_support::read_file(testing_support::real_images_dir() / "sam" / "sam_etracker.mgt");
        const auto sector = [&](std::int64_t at) {
            return Bytes(disc.begin() + at, disc.begin() + at + static_cast<std::int64_t>(image::SECTOR_SIZE));
        };
        write_seed(root / "layout_sniff", "etracker",
                   sector(0) + sector(image::sector_offset(image::Layout::Interleaved, 4, 0)) +
                       sector(image::sector_offset(image::Layout::Sequential, 4, 0)));
    }
    for (const auto& [name, program] : sam_programs()) {
        Bytes listing_input;
        common::append_le16(listing_input, static_cast<std::uint16_t>(program.size()));
        write_seed(root / "sam_basic_listing", name, listing_input + program);
    }
    // The tokeniser: listings to read (mode bit 1) and program lines to list and read back, ZX and SAM (bit 0).
    const std::string_view texts[] = {
        "   10 PRINT \"hi\";0.1;BIN 101: GO TO 10\r\n   20 RANDOMIZE USR 0\\{=32768}: REM \\* \\a\\:'\n",
        "   10 DEF PROC box x: IF x THEN PRINT &FF: ELSE LOOP IF INKEY$<>\"q\"\n20 ink 2\n"};
    write_seed(root / "tokenise", "zx-text", Bytes{2} + Bytes(texts[0].begin(), texts[0].end()));
    write_seed(root / "tokenise", "sam-text", Bytes{3} + Bytes(texts[1].begin(), texts[1].end()));
    for (std::size_t i = 0; i < programs.size(); ++i)
        write_seed(root / "tokenise", "zx-line-" + std::to_string(i), Bytes{0} + programs[i]);
    for (int mode = 0; mode < inspect::SAM_MODES; ++mode) {
        // The mode byte, a patterned display memory, the SAM's starting tables, a line change and the end.
        Bytes screen{static_cast<std::uint8_t>(mode)};
        screen = screen + pattern(inspect::sam_screen_bytes(mode), static_cast<std::uint8_t>(mode + 3));
        screen = screen +
                 Bytes{0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x78, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x7F};
        screen = screen + Bytes(24, 0);
        screen = screen + Bytes{96, 1, 0x7F, 0x7F, 0xFF};
        write_seed(root / "sam_screen", "mode-" + std::to_string(mode + 1), screen);
    }
    {
        ImageBuilder b;
        const auto basic = b.add_zx_file(0, 1, "boot", basic_programs()[0]);
        const auto system = b.add_zx_file(1, 4, "+SYS 2a", pattern(6656, 21), 32768);
        write_seed(root / "system_file", "system", image_seed("system", b, {basic, system}).input);
    }
    for (const Seed& seed : tape_seeds())
        write_seed(root / "tape_reader", seed.name, seed.input);
    for (const Seed& seed : snapshot_seeds())
        write_seed(root / (seed.name == "disc" ? "snapshot_disc" : "snapshot"), seed.name, seed.input);
    for (const Seed& seed : images)
        write_seed(root / "snapshot_disc", seed.name, seed.input);
    // Emulator files of the snapshot seeds that decode, each behind the byte that picks its format.
    for (const Seed& seed : snapshot_seeds()) {
        const std::size_t entry = std::min(seed.input.size(), image::entry::SIZE);
        const auto decoded =
            snapshot::decode_plusd_snapshot(std::span(seed.input).first(entry), std::span(seed.input).subspan(entry));
        if (const auto* snap = std::get_if<snapshot::Snapshot>(&decoded)) {
            write_seed(root / "snapshot_file", seed.name + "-z80",
                       Bytes{0} + encode_file(*snap, snapshot::FileFormat::Z80));
            write_seed(root / "snapshot_file", seed.name + "-sna",
                       Bytes{1} + encode_file(*snap, snapshot::FileFormat::Sna));
        }
    }
    // The edits: the first tape seed as the host file, before each image.
    const Bytes host = tape_seeds().front().input;
    for (const Seed& seed : images) {
        Bytes input(2);
        common::put_be16(input, 0, static_cast<std::uint16_t>(host.size()));
        write_seed(root / "edit", seed.name, input + host + seed.input);
    }
    const std::vector<std::string> inis = settings_files();
    for (std::size_t i = 0; i < inis.size(); ++i)
        write_seed(root / "ini", "settings-" + std::to_string(i), ascii(inis[i]));
    for (const char* target : {"gzip", "zip", "dsk", "sad"}) {
        for (const auto& [name, bytes] : container_seeds(target))
            write_seed(root / target, name, bytes);
    }
    return 0;
}
