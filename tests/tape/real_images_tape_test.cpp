// Every real image of tests/data/images through kestrel-cli, in-process, always on a copy: `tap` converts every ZX
// file, and its exit status, printed lines, tape size and SHA-256 must match tests/data/expected/<image>.tap.txt;
// tzxlist must accept every tape that is not empty; list, check, tap and screen leave the copy's bytes alone.
//
// <image>.tap.txt holds the lines "exit N", "bytes N" and "sha256 HEX", then exactly what tap printed on stdout.
// Checked by hand against the images' bytes: success.mgt (below, byte for byte); solo-forth-boot.mgt (30 blocks,
// each header's name, length and start as the listing shows them, every checksum right, the data of slots 0 and 5
// identical to the original tapes in reference-taps/, disc syntax after LOAD blanked in Autoload); zx_screen.mgt
// (6,912 bytes at 16384 as in directory entry bytes 212-215, 6,937 bytes of tape). The zx_basic_*, zx_code* and
// zx_data* tapes were checked with tzxlist only (the arrays' names with it too, below); every other image gives an
// empty tape, its files being SAM files, snapshots, UniDos entries, garbage (solo-forth-library-blocks) or ZX types
// without a tape form.
#include "../cli/cli_test_util.h"
#include "support/image_builder.h"
#include "tool_run.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string sha256_hex(const Bytes& bytes)
{
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QCryptographicHash::hash(view, QCryptographicHash::Sha256).toHex().toStdString();
}

struct KeptTape
{
    int exit_code = -1;
    std::size_t bytes = 0;
    std::string sha256;
    std::string out;
};

// Reads <image>.tap.txt; a file that is missing or not in the expected form gives a KeptTape that matches nothing.
KeptTape read_kept_tape(const std::string& image_name)
{
    const std::string text =
        testing_support::read_text(fs::path(KESTREL_TEST_DATA_DIR) / "expected" / (image_name + ".tap.txt"));
    std::istringstream lines(text);
    KeptTape kept;
    std::string exit_word, bytes_word, sha_word;
    if (!(lines >> exit_word >> kept.exit_code >> bytes_word >> kept.bytes >> sha_word >> kept.sha256) ||
        exit_word != "exit" || bytes_word != "bytes" || sha_word != "sha256" || lines.get() != '\n')
        return {};
    kept.out = text.substr(static_cast<std::size_t>(lines.tellg()));
    return kept;
}

struct Conversion
{
    testing_support::CliResult result;
    Bytes tape;
    fs::path tape_path;
};

// Converts every ZX file of a copy of the image in `dir` into <dir>/<image>.tap.
Conversion convert_copy(const fs::path& image_path, const TempDir& dir)
{
    const fs::path copy = dir / image_path.filename().string();
    fs::copy_file(image_path, copy);
    const fs::path tape = dir / (image_path.filename().string() + ".tap");
    auto result = run_cli({"tap", copy.string(), "-o", tape.string()});
    return {std::move(result), read_file(tape), tape};
}

// Number of blocks of a .tap file (each a 16-bit length, low byte first, and that many bytes), or -1 when the
// lengths do not add up to the file's size.
int count_blocks(const Bytes& tape)
{
    int blocks = 0;
    std::size_t at = 0;
    while (at + 2 <= tape.size()) {
        at += 2 + static_cast<std::size_t>(tape[at] | tape[at + 1] << 8);
        ++blocks;
    }
    return at == tape.size() ? blocks : -1;
}

std::size_t count_of(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

} // namespace

TEST(RealImages, TapesMatchTheKeptOutput)
{
    const auto images = testing_support::real_images();
    ASSERT_GE(images.size(), 20u);
    int nonempty_tapes = 0;
    for (const fs::path& image_path : images) {
        const std::string name = image_path.filename().string();
        SCOPED_TRACE(name);
        TempDir dir;
        const Conversion c = convert_copy(image_path, dir);
        const KeptTape kept = read_kept_tape(name);
        EXPECT_EQ(c.result.code, kept.exit_code);
        EXPECT_EQ(c.result.out, kept.out);
        // Two real loaders keep +D syntax the rewrite does not touch, and are warned of.
        const std::map<std::string, std::string> warnings = {
            {"solo-forth-boot.mgt",
             "kestrel-cli: Autoload: loader still uses +D-only syntax (line 2:1 POKE @, line 2:2 POKE @)\n"},
            {"zx_basic_auto.mgt",
             "kestrel-cli: basic_auto: loader still uses +D-only syntax (line 10:1 OPEN # d, line 70:1 CLOSE #*)\n"},
        };
        EXPECT_EQ(c.result.err, warnings.contains(name) ? warnings.at(name) : "");
        EXPECT_EQ(c.tape.size(), kept.bytes);
        EXPECT_EQ(sha256_hex(c.tape), kept.sha256);
        nonempty_tapes += c.tape.empty() ? 0 : 1;
    }
    EXPECT_GE(nonempty_tapes, 10);
}

TEST(RealImages, SuccessTapeIsTheDirectoryEntryAndTheFirstSectorInTapeForm)
{
    TempDir dir;
    const Conversion c = convert_copy(testing_support::real_images_dir() / "success.mgt", dir);
    ASSERT_EQ(c.result.code, 0);
    // Entry bytes 211-219: tape type 0, length 36, start 23755, program length 36, autostart line 10.
    const Bytes header_block = {0x13, 0x00, 0x00, 0x00, 'S',  'u',  'c',  'c',  'e',  's', 's',
                                ' ',  ' ',  ' ',  0x24, 0x00, 0x0A, 0x00, 0x24, 0x00, 0x69};
    // Track 4 sector 1 from byte 9 (after the disc header): 10 PRINT "Congraturation! You sucsess!"
    const std::string line_text = "\"Congraturation! You sucsess!\"";
    Bytes data_block = {0x26, 0x00, 0xFF, 0x00, 0x0A, 0x20, 0x00, 0xF5};
    data_block.insert(data_block.end(), line_text.begin(), line_text.end());
    data_block.insert(data_block.end(), {0x0D, 0x25});

    Bytes expected = header_block;
    expected.insert(expected.end(), data_block.begin(), data_block.end());
    EXPECT_EQ(c.tape, expected);
    EXPECT_EQ(c.result.out, "Success    syntax changes: 0\n");
}

TEST(RealImages, TzxlistAcceptsEveryTape)
{
    if (!testing_support::has_tool("tzxlist"))
        GTEST_SKIP() << "tzxlist (fuse-emulator-utils) is not installed";
    // The array names as the entries keep them in byte 216 (0x98 x(), 0xD8 x$()).
    const std::map<std::string, std::string> array_names = {
        {"zx_data.mgt", "DATA X()"}, {"zx_data_str1.mgt", "DATA X$()"}, {"zx_data_str2.mgt", "DATA X$()"}};
    for (const fs::path& image_path : testing_support::real_images()) {
        SCOPED_TRACE(image_path.filename().string());
        TempDir dir;
        const Conversion c = convert_copy(image_path, dir);
        if (const auto array = array_names.find(image_path.filename().string()); array != array_names.end()) {
            EXPECT_EQ(count_of(testing_support::run_tool("tzxlist", c.tape_path).output, array->second), 1u);
        }
        if (c.tape.empty())
            continue;
        const int blocks = count_blocks(c.tape);
        ASSERT_GT(blocks, 0);
        const testing_support::ToolRun run = testing_support::run_tool("tzxlist", c.tape_path);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(count_of(run.output, "Block type 0x10"), static_cast<std::size_t>(blocks)) << run.output;
        EXPECT_EQ(count_of(run.output, "(PASS)"), static_cast<std::size_t>(blocks)) << run.output;
    }
}

TEST(RealImages, CommandsLeaveTheImageUnchanged)
{
    for (const fs::path& image_path : testing_support::real_images()) {
        const std::string name = image_path.filename().string();
        SCOPED_TRACE(name);
        TempDir dir;
        const fs::path copy = dir / name;
        fs::copy_file(image_path, copy);
        const Bytes original = read_file(image_path);
        ASSERT_EQ(original.size(), static_cast<std::size_t>(image::IMAGE_BYTES));

        const auto listing = run_cli({"list", copy.string()});
        EXPECT_EQ(listing.code, 0);
        EXPECT_EQ(read_file(copy), original) << "list";
        run_cli({"check", copy.string()});
        EXPECT_EQ(read_file(copy), original) << "check";
        run_cli({"tap", copy.string(), "-o", (dir / "all.tap").string()});
        EXPECT_EQ(read_file(copy), original) << "tap";

        // A picture of every listed file, whatever its type: the slot is the last field of each listed row.
        std::istringstream rows(listing.out);
        int pictures = 0;
        for (std::string row; std::getline(rows, row); ++pictures) {
            const std::string slot = row.substr(row.rfind('\t') + 1);
            run_cli({"screen", copy.string(), "--slot", slot, "-o", (dir / (slot + ".png")).string()});
            EXPECT_EQ(read_file(copy), original) << "screen --slot " << slot;
        }
        EXPECT_GT(pictures, 0);
    }
}
