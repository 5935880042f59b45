// The tokeniser: typed text against the bytes the ROMs store, refusals, and the round trip over every BASIC program
// of the real images (listing, tokenising the listing, listing again gives the same text and the same bytes).
#include "basic/tokenise.h"

#include "../tape/basic_program.h"
#include "basic/listing.h"
#include "basic/sam_listing.h"
#include "basic/slot_listing.h"
#include "common/bytes.h"
#include "image/extract.h"
#include "image/file_export.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using basic::Machine;
using testing_support::Bytes;
using testing_support::operator+;

// The program part of a BASIC file: a ZX file's data up to the program length of its header, a SAM file's data up
// to its end marker.
Bytes program_bytes(image::SectorSource& disc, int slot, bool sam)
{
    if (!sam) {
        const auto file = image::extract_file(disc, slot);
        return Bytes(file->data.begin(),
                     file->data.begin() + common::get_le16(file->header, image::tape_header::PARAM2));
    }
    const Bytes data = std::get<image::ExportedFile>(image::export_file(disc, slot)).bytes;
    std::size_t at = 0;
    while (at < data.size() && data[at] != basic::SAM_PROGRAM_END)
        at += basic::LINE_HEADER + common::get_le16(data, at + 2);
    return Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(at + 1, data.size())));
}

// The stored text of the program's only line (between its header and its ENTER).
Bytes only_line(std::string_view text, Machine machine)
{
    auto made = basic::tokenise(text, machine);
    if (auto* error = std::get_if<basic::TokeniseError>(&made)) {
        ADD_FAILURE() << text << ": " << basic::error_text(*error);
        return {};
    }
    const Bytes& bytes = std::get<basic::Program>(made).bytes;
    const std::size_t end = bytes.size() - (machine == Machine::Sam ? 2 : 1);
    return Bytes(bytes.begin() + basic::LINE_HEADER, bytes.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    return text;
}

TEST(Tokenise, TypedLinesGiveTheBytesTheRomStores)
{
    const Bytes ten{'1', '0', 0x0E, 0, 0, 10, 0, 0};
    struct Case
    {
        std::string_view text;
        Machine machine;
        Bytes stored;
    };
    const std::vector<Case> cases = {
        {"10 PRINT \"hi\"", Machine::Zx, {0xF5, '"', 'h', 'i', '"'}},
        {"20 go to 10", Machine::Zx, Bytes{0xEC} + ten},
        {"20 GOTO 10\r", Machine::Zx, Bytes{0xEC} + ten},
        {"20 GO TO10", Machine::Zx, Bytes{0xEC} + ten},
        // A name that holds a keyword stays a name; a keyword's own blanks go.
        {"30 LET total=a TO b", Machine::Zx, {0xF1, 't', 'o', 't', 'a', 'l', '=', 'a', 0xCC, 'b'}},
        {"40 LET a=0\\{=32768}", Machine::Zx, {0xF1, 'a', '=', '0', 0x0E, 0, 0, 0x00, 0x80, 0}},
        {"50 PRINT 0.1;1e3;BIN 101", Machine::Zx, {0xF5, '0', '.', '1',  0x0E, 0x7D, 0x4C, 0xCC, 0xCC, 0xCD, ';',
                                                   '1',  'e', '3', 0x0E, 0,    0,    0xE8, 0x03, 0,    ';',  0xC4,
                                                   '1',  '0', '1', 0x0E, 0,    0,    5,    0,    0}},
        {"60 PRINT \"\\a\\u£©\\:'\\{INK 2}\"", Machine::Zx, {0xF5, '"', 0x90, 0xA4, 0x60, 0x7F, 0x8B, 0x10, 2, '"'}},
        {"70 REM PRINT 1", Machine::Zx, {0xEA, 'P', 'R', 'I', 'N', 'T', ' ', '1'}},
        {"80 IF a<>1 THEN PRINT  x", Machine::Zx, {0xFA, 'a', 0xC9, '1', 0x0E, 0, 0, 1, 0, 0, 0xCB, 0xF5, ' ', 'x'}},
        // SAM: IF with THEN is the short IF, INK is PEN, & starts hex.
        {"10 IF a THEN ink &FF: ELSE PRINT",
         Machine::Sam,
         {0xD8, 'a', 0x8D, 0xA1, '&', 'F', 'F', 0x0E, 0, 0, 0xFF, 0, 0, ':', 0xDA, 0xBB}},
        // A drive number follows a letter only in a disc statement; elsewhere the digit is part of a name.
        {"90 LET d1=2: LOAD d1\"x\"", Machine::Zx, {0xF1, 'd', '1', '=',  '2', 0x0E, 0, 0, 2, 0,   0,   ':',
                                                    0xEF, 'd', '1', 0x0E, 0,   0,    1, 0, 0, '"', 'x', '"'}},
        // SAM: a number with a point or an exponent stays floating point; print1 is PRINT 1, printx a procedure's name.
        {"30 LET a=1e3:print1:printx",
         Machine::Sam,
         {0x9C, 'a', '=', '1', 'e', '3', 0x0E, 0x8A, 0x7A, 0,   0,   0,    ':',  0xBB, '1',  0x0E, 0,
          0,    1,   0,   0,   ':', 'p', 'r',  'i',  'n',  't', 'x', 0x0E, 0xFD, 0xFD, 0xFD, 0,    0}},
        // SAM: a statement that starts with a name calls a procedure; the editor stores six bytes after the name.
        {"50 box 2: IF a THEN tidy", Machine::Sam, {'b',  'o', 'x', 0x0E, 0xFD, 0xFD, 0xFD, 0,    0,   ' ',  '2',
                                                    0x0E, 0,   0,   2,    0,    0,    ':',  0xD8, 'a', 0x8D, 't',
                                                    'i',  'd', 'y', 0x0E, 0xFD, 0xFD, 0xFD, 0,    0}},
        // SAM: a blank typed beside a keyword's own is stored.
        {"40 LET a=(b)  MOD 3: PRINT  x", Machine::Sam, {0x9C, 'a', '=', '(', 'b', ')', ' ', 0xFF, 0x7A, '3',
                                                         0x0E, 0,   0,   3,   0,   0,   ':', 0xBB, ' ',  'x'}},
        // After each DEF FN parameter the editor leaves room for its argument; SAM's FN call gets six bytes too.
        {"10 DEF FN f(x, y$)=x: PRINT FN f(1,\"\")",
         Machine::Zx,
         {0xCE, 'f', '(', 'x', 0x0E, 0,    0,   0,   0,   0,    ',', ' ', 'y', '$', 0x0E, 0,   0,   0,   0,  0,
          ')',  '=', 'x', ':', 0xF5, 0xA8, 'f', '(', '1', 0x0E, 0,   0,   1,   0,   0,    ',', '"', '"', ')'}},
        {"10 PRINT FN f$(2)", Machine::Sam, {0xBB, 0xFF, 0x42, 'f',  '$', 0x0E, 0xFE, 0xFE, 0xFE, 0,
                                             0,    '(',  '2',  0x0E, 0,   0,    2,    0,    0,    ')'}},
        {"20 DEF PROC box: LOOP IF x<>2",
         Machine::Sam,
         {0xCA, 'b', 'o', 'x', ':', 0xD3, 'x', 0xFF, 0x81, '2', 0x0E, 0, 0, 2, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(only_line(c.text, c.machine), c.stored) << c.text;
}

TEST(Tokenise, RefusesLinesThatCannotBeProgramLinesWithTheirNumber)
{
    struct Case
    {
        std::string_view text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"10 REM\nPRINT 1\n", "line 2: no line number"},
        {"10 REM\r\n\r\n16384 STOP", "line 3: the line number is above 16383"},
        {"10 PRINT \"\\z\"", "line 1: at column 11: unknown escape \\z"},
        {"10 PRINT \\{RED 2}", "line 1: at column 10: unknown escape \\{RED 2}"},
        {"10 PRINT 1e99", "line 1: at column 10: the number is too large: 1e99"},
        {"10 PRINT \"\xC3\xA9\"", "line 1: at column 11: the character 0xC3 is not one the listing writes as it stands "
                                  "(write \\{0xC3})"},
        {"\n \n", "line 2: the text holds no program line"},
    };
    for (const Case& c : cases) {
        const auto made = basic::tokenise(c.text, Machine::Zx);
        ASSERT_TRUE(std::holds_alternative<basic::TokeniseError>(made)) << c.text;
        EXPECT_EQ(basic::error_text(std::get<basic::TokeniseError>(made)), c.error);
    }
}

TEST(Tokenise, HiddenNumbersThatDifferFromTheirTextAreMarkedAndReadBack)
{
    const Bytes loader =
        Bytes{0,   10,   0,    0,    0xF9, 0xC0, '0', 0x0E, 0,    0,   0x00, 0x80, 0, ':', 0xF5, '1', '.',
              '5', 0x0E, 0x81, 0x40, 0,    0,    0,   ':',  0xF5, '2', 0x0E, 0x82, 0, 0,   0,    0,   0x0D};
    Bytes program = loader;
    common::put_le16(program, 2, static_cast<std::uint16_t>(loader.size() - basic::LINE_HEADER));
    const auto lines = basic::list_program(program, program.size()).lines;
    // 1.5 is what its text gives; 2 is stored as a floating-point 2, which no text gives: its bytes are shown.
    ASSERT_EQ(lines, std::vector<std::string>{"   10 RANDOMIZE USR 0\\{=32768}: PRINT 1.5: PRINT 2\\{=0x8200000000}"});
    const auto again = basic::tokenise(joined(lines), Machine::Zx);
    ASSERT_TRUE(std::holds_alternative<basic::Program>(again));
    EXPECT_EQ(std::get<basic::Program>(again).bytes, program);
}

// Lines whose listings once read back as other text: a colour code whose parameter is a quote, a REM token inside
// a string, a SAM code 0x22 after 0xFF, numbers too large to store (even for a long double) written as text, a SAM
// keyword before the two characters "<>", a SAM operator inside a REM, a ZX line that starts with a number, letters
// after PI PI, digits after a hidden number, runs of PI and RND before digits, letters and other functions, the
// editor's bytes after a DEF FN parameter and a SAM call's name as a run left them and as the editor wrote them, a
// disc keyword inside a string before a name with more digits than a number may have.
TEST(Tokenise, OddLinesListAndReadBackAsTheSameText)
{
    struct Case
    {
        Machine machine;
        Bytes text;
        bool exact; // the bytes come back too: not for keywords in strings and REMs (they read back as letters), nor
                    // for numbers stored without their hidden form
    };
    const std::vector<Case> cases = {
        {Machine::Zx, {0xF5, 0x12, '"', 'a', ':', 0xF5, '"', 'b', '"'}, true},
        {Machine::Zx, {0xF5, '"', 0xEA, '"', 'P', 'I', 'N', '"'}, false},
        {Machine::Sam, {0xBB, 0xFF, 0x22, 'a', 'b', 'c', ' ', 0xBB, '1'}, false},
        {Machine::Sam, {0xBB, '&', '4', '4', '4', '4', '4', '4', 'F', 'F'}, true},
        {Machine::Zx, {0xF5, '5', 'e', '9', '9', '9', '9', '9', '9'}, true},
        {Machine::Sam, {0x86, '<', '>', 'x'}, true},
        {Machine::Sam, {0xB7, 0xFF, 0x82, 0xF3, 0xBB, 'a', 0xFF, 0x81}, false},
        {Machine::Sam, {0xB7, 'x', 0xB7, 0xFF, 0x82, 0xF3}, false},
        {Machine::Zx, {'4', '4', '.', '4', 0xCC, '1'}, false},
        {Machine::Zx, {0xA7, 0xA7, 'R', 'E', 'M', ' ', 'x'}, true},
        {Machine::Zx, {0xF5, '"', '"', 0xA2, 'i', 'n', 'k', '\'', '"'}, true},
        {Machine::Zx, {0xF5, 'D', '2', 0x0E, 0, 0, 2, 0x22, 0x3B, '0', '.', '1', 'x'}, false},
        {Machine::Zx, {0xF5, 0xA7, 0xA7, 0xA7, '6', '6', '6', 0x0E, 0, 0, 0x9A, 0x02, 0}, true},
        {Machine::Zx, {0xA5, 0xA5, 0xA5, 0x0E, 0, 2, 0, 0, 0x22, 'c', 'o', 'd', 'e', '"', 0xAF}, false},
        {Machine::Zx, {0xF5, 0xA7, 'x', '$', 0xA7, 0xB2, ' ', 'y'}, true},
        {Machine::Zx, {0xF5, 'y', 0xA5, '+', '1', 0x0E, 0, 0, 1, 0, 0, 0xA7}, true},
        {Machine::Zx, {0xCE, 'f', '(', 'x', 0x0E, 0, 0, 3, 0, 0, ')', '=', 'x'}, true},
        {Machine::Zx,
         {0xF5, '"', 0xEF, '*', '"', 'm', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1',
          '1',  '1', '1',  '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1',
          '1',  '1', '1',  '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1'},
         false},
        {Machine::Sam,
         {'m', 'e', 'n', 'u', 0x0E, 0xFD, 0xFD, 0x80, 0xD0, 0x9E, ':',
          'm', 'e', 'n', 'u', 0x0E, 0xFD, 0xFD, 0xFD, 0,    0},
         true},
    };
    for (const Case& c : cases) {
        Bytes program{0, 10};
        program.push_back(static_cast<std::uint8_t>(c.text.size() + 1));
        program.push_back(0);
        program = program + c.text + Bytes{basic::ENTER};
        if (c.machine == Machine::Sam)
            program.push_back(basic::SAM_PROGRAM_END);
        auto list = [&c](const Bytes& p) {
            return (c.machine == Machine::Sam ? basic::list_sam_program(p, p.size()) : basic::list_program(p, p.size()))
                .lines;
        };
        const auto lines = list(program);
        const auto again = basic::tokenise(joined(lines), c.machine);
        ASSERT_TRUE(std::holds_alternative<basic::Program>(again)) << lines.front();
        EXPECT_EQ(list(std::get<basic::Program>(again).bytes), lines);
        if (c.exact) {
            EXPECT_EQ(std::get<basic::Program>(again).bytes, program) << lines.front();
        }
    }
}

// Every BASIC program on the real images: listed, tokenised and listed again gives the same text, and, for a
// program listed without damage, the program's own bytes.
TEST(Tokenise, RealProgramsComeBackFromTheirListings)
{
    int programs = 0, compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(testing_support::real_images_dir())) {
        const auto ext = entry.path().extension();
        if (ext != ".mgt" && ext != ".img" && ext != ".dsk")
            continue;
        const auto disc = testing_support::open_source(entry.path());
        for (int slot = 0; disc && slot < 80; ++slot) {
            const auto listed = basic::list_slot(*disc, slot, false);
            if (!listed)
                continue;
            ++programs;
            std::vector<std::string> lines = listed->listing.lines;
            if (listed->listing.damage)
                lines.pop_back();
            const Machine machine = listed->sam ? Machine::Sam : Machine::Zx;
            auto made = basic::tokenise(joined(lines), machine);
            ASSERT_TRUE(std::holds_alternative<basic::Program>(made)) << entry.path() << " slot " << slot;
            const Bytes& bytes = std::get<basic::Program>(made).bytes;
            const auto again =
                listed->sam ? basic::list_sam_program(bytes, bytes.size()) : basic::list_program(bytes, bytes.size());
            EXPECT_EQ(again.lines, lines) << entry.path() << " slot " << slot;
            if (listed->listing.damage)
                continue;
            // The original program's bytes: the file's data up to its program length (ZX) or its end marker (SAM).
            const Bytes original = program_bytes(*disc, slot, listed->sam);
            EXPECT_TRUE(bytes == original) << entry.path() << " slot " << slot;
            ++compared;
        }
    }
    // ZX and SAM programs alike, the E-Tracker disc's among them (blanks stored beside keywords); the two that are
    // left out are garbage entries of a disc without a directory, whose text runs off its end.
    EXPECT_GE(programs, 15);
    EXPECT_GE(compared, 13);
}

} // namespace
