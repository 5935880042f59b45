// The listing's own rules, with expected text written out by hand: the escapes listbasic does not show, and
// damaged programs. Keywords and spacing are judged by listbasic in listbasic_test.cpp.
#include "basic/listing.h"

#include "../tape/basic_program.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::vector<std::string> with_mark(std::vector<std::string> lines, const std::string& mark)
{
    lines.push_back(mark);
    return lines;
}

} // namespace

TEST(BasicListing, EscapesControlCodesWithTheirParameters)
{
    struct Case
    {
        Bytes text;
        std::string shown;
    };
    const std::vector<Case> cases = {
        // Letters that would read back as a keyword start with an escape.
        {ascii("PRINT ") + Bytes{'"', 0x10, 2, 'r', 0x16, 3, 4, 0x17, 5, 0, 0x13, 1, '"'},
         "\\{0x50}RINT \"\\{INK 2}r\\{AT 3,4}\\{TAB 5,0}\\{BRIGHT 1}\""},
        {Bytes{'"', 0x06, 0x00, 0x7F, '\\', '`', '"'}, "\"\\{0x06}\\{0x00}\\*\\\\`\""},
        // Parameters cut off by the end of the line are shown as far as they go.
        {Bytes{'a', 0x16, 7}, "a\\{AT 7}"},
        {Bytes{'a', 0x11}, "a\\{PAPER}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(basic::line_text(c.text), c.shown);
}

TEST(BasicListing, StopsAtTheProgramLengthAndAtDamage)
{
    const Bytes good = basic_line(10, Bytes{0xFB}) + basic_line(20, Bytes{0xE2});
    const std::vector<std::string> both = {"   10 CLS ", "   20 STOP "};
    struct Case
    {
        const char* name;
        Bytes data;
        std::size_t program_length;
        std::vector<std::string> lines; // the listed lines, then the mark
        std::optional<std::size_t> damage_at;
    };
    const Bytes long_length = basic_line(10, Bytes{0xFB}) + Bytes{0, 20, 9, 0, 0xE2, 0x0D};
    const Bytes no_enter = basic_line(10, Bytes{0xFB}) + Bytes{0, 20, 2, 0, 0xE2, 0xE2};
    const Bytes empty_line = Bytes{0, 20, 0, 0} + good;
    const std::vector<Case> cases = {
        {"variables after the program", good + Bytes{0x61, 0, 0, 1, 0, 0}, good.size(), both, {}},
        {"empty program", good, 0, {}, {}},
        {"line numbers 10000 and 16383",
         good + basic_line(10000, Bytes{0xFB}) + basic_line(16383, Bytes{0xE2}),
         good.size() + 12,
         {"   10 CLS ", "   20 STOP ", "10000 CLS ", "16383 STOP "},
         {}},
        {"line number 16384", good + basic_line(16384, Bytes{0xFB}), good.size() + 6,
         with_mark(both, "** damage at byte 12: line number 16384 is above 16383"), 12},
        {"length past the end",
         long_length,
         long_length.size(),
         {"   10 CLS ", "   20 STOP \\{0x0D}", "** damage at byte 8: line 20 claims 9 bytes, the program holds 2 more"},
         8},
        {"no ENTER",
         no_enter,
         no_enter.size(),
         {"   10 CLS ", "   20 STOP STOP ", "** damage at byte 11: line 20 does not end in ENTER"},
         11},
        {"length 0", empty_line, empty_line.size(), {"   20", "** damage at byte 4: line 20 does not end in ENTER"}, 4},
        {"header cut", good + Bytes{0, 30, 1}, good.size() + 3,
         with_mark(both, "** damage at byte 12: line header cut off by the end of the program (3 bytes left)"), 12},
        {"program length past the data", good, good.size() + 100,
         with_mark(both, "** damage at byte 12: the program length 112 is larger than the 12 bytes of data"), 12},
        {"data ends inside a line",
         Bytes(good.begin(), good.begin() + 10),
         good.size(),
         {"   10 CLS ", "   20", "** damage at byte 8: line 20 claims 2 bytes, the data holds 0 more"},
         8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const basic::Listing listing = basic::list_program(c.data, c.program_length);
        EXPECT_EQ(listing.lines, c.lines);
        EXPECT_EQ(listing.damage ? std::optional(listing.damage->offset) : std::nullopt, c.damage_at);
    }
}
