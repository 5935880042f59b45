// The listing against listbasic (fuse-emulator-utils), which lists tape BASIC independently of this program: every
// ZX BASIC program of the real images and of images built here goes to tape through kestrel-cli tap --no-rewrite,
// listbasic lists the tape, and the listing of each program's tape data block must match it line for line.
#include "basic/listing.h"

#include "../cli/cli_test_util.h"
#include "../tape/basic_program.h"
#include "../tape/tool_run.h"
#include "common/bytes.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr std::uint8_t HEADER_FLAG = 0x00;
constexpr std::uint8_t DATA_FLAG = 0xFF;
constexpr std::size_t HEADER_BLOCK = 19;
constexpr std::size_t BLOCK_TYPE = 1;
constexpr std::size_t BLOCK_PROGRAM_LENGTH = 16;
constexpr std::uint8_t PROGRAM_TYPE = 0;

// listbasic drops control codes and their parameter bytes; the listing shows them as "\{...}" so that a colour or
// a position in a string is not lost. That is the one difference, so the escapes are taken out before comparing
// (an escaped backslash, "\\", stays), but for the ones of a character or keyword written as its byte so that it
// reads back (after RND or PI, which listbasic runs together with what follows): those show as listbasic prints them.
std::string as_listbasic_shows(const std::string& line)
{
    std::string shown;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '{') {
            const std::size_t close = line.find('}', i);
            if (close == std::string::npos)
                break;
            const std::string inside = line.substr(i + 2, close - i - 2);
            i = close;
            if (inside.size() != 4 || !inside.starts_with("0x"))
                continue;
            const auto b = static_cast<std::uint8_t>(std::stoi(inside.substr(2), nullptr, 16));
            if (b >= ' ' && b < 0x7F)
                shown += static_cast<char>(b);
            else if (!basic::zx_keyword(b).empty())
                shown += std::string(basic::zx_keyword(b)) + (basic::zx_trailing_blank(b) ? " " : "");
            continue;
        }
        shown += line[i];
        if (line[i] == '\\' && i + 1 < line.size())
            shown += line[++i];
    }
    return shown;
}

// The listing of every program block pair of a .tap file, in tape order, as listbasic would print it; `programs`
// counts the pairs.
std::string list_tape(const Bytes& tape, int& programs)
{
    std::vector<Bytes> blocks;
    for (std::size_t at = 0; at + 2 <= tape.size();) {
        const std::size_t length = common::get_le16(tape, at);
        if (length > tape.size() - at - 2)
            break;
        blocks.emplace_back(tape.begin() + static_cast<std::ptrdiff_t>(at + 2),
                            tape.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
        at += 2 + length;
    }
    std::string text;
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
        const Bytes& header = blocks[i];
        const Bytes& data = blocks[i + 1];
        if (header.size() != HEADER_BLOCK || header[0] != HEADER_FLAG || header[BLOCK_TYPE] != PROGRAM_TYPE ||
            data.size() < 2 || data[0] != DATA_FLAG)
            continue;
        const auto program = std::span<const std::uint8_t>(data).subspan(1, data.size() - 2);
        for (const std::string& line :
             basic::list_program(program, common::get_le16(header, BLOCK_PROGRAM_LENGTH)).lines)
            text += as_listbasic_shows(line) + '\n';
        ++programs;
        ++i;
    }
    return text;
}

// Converts every ZX file of the image to a tape without the loader rewrite, then compares; returns the number of
// programs compared.
int compare_with_listbasic(const fs::path& image, const TempDir& dir)
{
    const fs::path tape_path = dir / (image.filename().string() + ".tap");
    const CliResult converted = run_cli({"tap", image.string(), "-o", tape_path.string(), "--no-rewrite"});
    EXPECT_EQ(converted.err, "");
    int programs = 0;
    const std::string ours = list_tape(read_file(tape_path), programs);
    if (programs == 0)
        return 0;
    const ToolRun run = run_tool("listbasic", tape_path);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ours, run.output);
    return programs;
}

Bytes every_keyword()
{
    Bytes all;
    for (unsigned token = 0xA3; token <= 0xFF; ++token)
        all.push_back(static_cast<std::uint8_t>(token));
    return all;
}

// Each keyword between letters, digits, blanks and other keywords, so that every rule of the spacing shows.
Bytes keywords_in_company()
{
    Bytes text;
    for (std::uint8_t token : every_keyword())
        text = text + Bytes{'a', token, '1', token, ' ', token, token, '(', token, '"', token, '"'};
    return text;
}

Bytes graphics_in_strings()
{
    Bytes text = ascii("\"");
    for (unsigned code = 0x80; code <= 0xA4; ++code)
        text.push_back(static_cast<std::uint8_t>(code));
    return text + ascii("\\`") + Bytes{0x7F, '"', 0xA3, 0xA4};
}

// Disc syntax as the +D manuals write it, control codes inside strings, and the line numbers above 9999 that
// programs poke in.
Bytes disc_loader()
{
    const Bytes channel = Bytes{0x2A} + ascii("\"m\";") + small_number(1) + ascii(";");
    return basic_line(10, Bytes{0xFD} + small_number(5) + Bytes{':', TOKEN_LOAD, 'd'} + small_number(1) +
                              ascii("\"scr\"") + Bytes{0xAA, ':', TOKEN_LOAD} + channel + ascii("\"code\"") +
                              Bytes{TOKEN_CODE}) +
           basic_line(20, Bytes{0xF4, '@'} + small_number(3) + ascii(",") + small_number(0) + Bytes{':', TOKEN_LOAD} +
                              ascii("p*") + Bytes{':', TOKEN_SAVE, 'd'} + small_number(2) + ascii("\"x\"")) +
           basic_line(30, Bytes{0xF5, '"', 0x10, 2, 'r', 0x16, 3, 4, 'a', 0x17, 5, 0, 't', 0x06, 0x15, 1, '"'}) +
           basic_line(9999, Bytes{TOKEN_RANDOMIZE, TOKEN_USR} + small_number(8) + Bytes{':', 0xEA, '"', ':', 0xA3}) +
           basic_line(10000, Bytes{0xEC} + small_number(5)) +
           basic_line(16383, Bytes{' ', 0x7F} + ascii("1987 INDUG."));
}

} // namespace

TEST(BasicListbasic, RealImagesListAsListbasicShowsThem)
{
    if (!has_tool("listbasic"))
        GTEST_SKIP() << "listbasic (fuse-emulator-utils) is not installed";
    int programs = 0;
    for (const fs::path& image : real_images()) {
        SCOPED_TRACE(image.filename().string());
        TempDir dir;
        programs += compare_with_listbasic(image, dir);
    }
    EXPECT_GE(programs, 4);
}

TEST(BasicListbasic, BuiltProgramsListAsListbasicShowsThem)
{
    if (!has_tool("listbasic"))
        GTEST_SKIP() << "listbasic (fuse-emulator-utils) is not installed";
    const Bytes keywords = basic_line(0, every_keyword()) + basic_line(1, keywords_in_company()) +
                           basic_line(2, graphics_in_strings()) + basic_line(3, Bytes{' ', 0xF5, ' ', '1', ' '});
    const Bytes loader = disc_loader();
    const Bytes variables = Bytes{0x61, 0, 0, 1, 0, 0};
    ImageBuilder b;
    b.add_zx_file(0, 1, "keywords", keywords, 0, 0, static_cast<std::uint16_t>(keywords.size()));
    b.add_zx_file(1, 1, "loader", loader + variables, 0, 10, static_cast<std::uint16_t>(loader.size()));
    TempDir dir;
    EXPECT_EQ(compare_with_listbasic(b.write(dir / "built.mgt"), dir), 2);
}
