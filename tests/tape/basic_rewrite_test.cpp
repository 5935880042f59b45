#include "tape/basic_rewrite.h"

#include "basic_program.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Case
{
    const char* what;
    Bytes before;
    Bytes after;
    int count;
};

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes blanks(std::size_t n)
{
    return Bytes(n, 0x20);
}

const Bytes NAME = {0x22, 'a', 'b', 0x22};
const Bytes CHANNEL_M = {0x2A, 0x22, 0x6D, 0x22, 0x3B};
const Bytes PATTERN_1 = CHANNEL_M + Bytes{0x31, 0x0E, 0x00, 0x00, 0x01, 0x00, 0x00, 0x3B};
const Bytes PATTERN_2 = CHANNEL_M + Bytes{0x31, 0x0E, 0x00, 0x00, 0x02, 0x00, 0x00, 0x3B};
const Bytes PATTERN_3 = CHANNEL_M + Bytes{0xBC, 0xA7, 0x3B};
const Bytes PATTERN_4 = CHANNEL_M + Bytes{0xB0, 0x22, 0x31, 0x22, 0x3B};
const Bytes DRIVE_1 = {0x64, 0x31, 0x0E, 0x00, 0x00, 0x01, 0x00, 0x00};

} // namespace

TEST(RewriteBasicLoader, DiscSyntaxIsBlankedAndCounted)
{
    const std::vector<Case> cases = {
        {"LOAD d1 quoted name", Bytes{0xEF} + DRIVE_1 + NAME, Bytes{0xEF} + blanks(8) + NAME, 1},
        {"SAVE D2 quoted name CODE", Bytes{0xF8, 0x44, 0x32, 0x0E, 0x00, 0x00, 0x02, 0x00, 0x00} + NAME + Bytes{0xAF},
         Bytes{0xF8} + blanks(8) + NAME + Bytes{0xAF}, 1},
        {"LOAD channel, drive 1", Bytes{0xEF} + PATTERN_1 + NAME, Bytes{0xEF} + blanks(13) + NAME, 1},
        {"SAVE channel, digit 1 valued 2", Bytes{0xF8} + PATTERN_2 + NAME, Bytes{0xF8} + blanks(13) + NAME, 1},
        {"LOAD channel, SGN PI", Bytes{0xEF} + PATTERN_3 + NAME, Bytes{0xEF} + blanks(8) + NAME, 1},
        {"LOAD channel, VAL \"1\"", Bytes{0xEF} + PATTERN_4 + NAME, Bytes{0xEF} + blanks(10) + NAME, 1},
        {"drive form with string variable a$", Bytes{0xEF} + DRIVE_1 + Bytes{0x3B, 0x61, 0x24},
         Bytes{0xEF} + blanks(9) + Bytes{0x61, 0x24}, 1},
        {"d$ alone: counted, nothing to blank", Bytes{0xEF, 0x64, 0x24}, Bytes{0xEF, 0x64, 0x24}, 1},
        {"two statements in one line", Bytes{0xEF} + DRIVE_1 + NAME + Bytes{0x3A, 0xF8} + PATTERN_3 + NAME,
         Bytes{0xEF} + blanks(8) + NAME + Bytes{0x3A, 0xF8} + blanks(8) + NAME, 2},
        {"channel letter M", Bytes{0xEF, 0x2A, 0x22, 0x4D, 0x22, 0x3B, 0xBC, 0xA7, 0x3B} + NAME,
         Bytes{0xEF, 0x2A, 0x22, 0x4D, 0x22, 0x3B, 0xBC, 0xA7, 0x3B} + NAME, 0},
        {"channel typed with the digit 2",
         Bytes{0xEF} + CHANNEL_M + Bytes{0x32, 0x0E, 0x00, 0x00, 0x02, 0x00, 0x00, 0x3B} + NAME,
         Bytes{0xEF} + CHANNEL_M + Bytes{0x32, 0x0E, 0x00, 0x00, 0x02, 0x00, 0x00, 0x3B} + NAME, 0},
        {"VERIFY and MERGE stay", Bytes{0xD6} + DRIVE_1 + NAME + Bytes{0xD5} + PATTERN_1 + NAME,
         Bytes{0xD6} + DRIVE_1 + NAME + Bytes{0xD5} + PATTERN_1 + NAME, 0},
        {"tape LOAD stays", Bytes{0xEF} + NAME + Bytes{0xEF, 0x61, 0x24}, Bytes{0xEF} + NAME + Bytes{0xEF, 0x61, 0x24},
         0},
        {"empty", Bytes{}, Bytes{}, 0},
        {"lone LOAD", Bytes{0xEF}, Bytes{0xEF}, 0},
    };
    for (const Case& c : cases) {
        Bytes data = c.before;
        EXPECT_EQ(tape::rewrite_basic_loader(data), c.count) << c.what;
        EXPECT_EQ(data, c.after) << c.what;
    }
}

TEST(RewriteBasicLoader, NeverLooksPastTheEndOfTheData)
{
    // Each buffer would be rewritten if the byte beyond `length` counted; the rewrite sees only `length` bytes.
    struct Bounded
    {
        const char* what;
        Bytes buffer;
        std::size_t length;
    };
    const std::vector<Bounded> cases = {
        {"LOAD as the last byte", Bytes{0x00, 0xEF, 0x64, 0x22}, 2},
        {"drive form whose quote lies beyond the end", Bytes{0xEF} + DRIVE_1 + NAME, 9},
        {"drive form whose dollar lies beyond the end", Bytes{0xF8, 0x64, 0x61, 0x24}, 3},
        {"pattern 1 cut before its last byte", Bytes{0xEF} + PATTERN_1 + NAME, 13},
        {"pattern 4 cut before its last byte", Bytes{0xEF} + PATTERN_4, 10},
    };
    for (const Bounded& c : cases) {
        Bytes data = c.buffer;
        EXPECT_EQ(tape::rewrite_basic_loader(std::span<std::uint8_t>(data).first(c.length)), 0) << c.what;
        EXPECT_EQ(data, c.buffer) << c.what;
    }
}

TEST(DiscOnlySyntax, FindsTheStatementsTheRewriteLeaves)
{
    using testing_support::basic_line;
    using testing_support::small_number;
    constexpr std::uint8_t POKE = 0xF4, CAT = 0xCF, VERIFY = 0xD6, CLEAR = 0xFD, THEN = 0xCB, IF = 0xFA, PRINT = 0xF5,
                           CLOSE = 0xD4;
    const Bytes poke_at = Bytes{POKE, '@'} + small_number(5) + Bytes{','} + small_number(1);
    struct Found
    {
        const char* what;
        Bytes program;
        std::string expected; // describe() of what is found
    };
    const std::vector<Found> cases = {
        {"POKE @ as the second statement", basic_line(10, Bytes{PRINT, ':'} + poke_at), "line 10:2 POKE @"},
        {"CAT after THEN, VERIFY d1 on the next line",
         basic_line(10, Bytes{IF, '1', THEN, CAT} + small_number(1)) +
             basic_line(20, Bytes{VERIFY, 'd'} + small_number(1) + Bytes{'"', 'x', '"'}),
         "line 10:2 CAT, line 20:1 VERIFY d"},
        {"CLEAR # and CLOSE #*", basic_line(5, Bytes{CLEAR, '#', ':', CLOSE, '*'}),
         "line 5:1 CLEAR #, line 5:2 CLOSE #*"},
        {"inside a string, or an ordinary POKE and CLEAR: nothing",
         basic_line(10, Bytes{PRINT, '"', POKE, '@', ':', CAT, '"', ':', POKE} + small_number(1) + Bytes{','} +
                            small_number(2) + Bytes{':', CLEAR} + small_number(9)),
         ""},
        {"a hidden number holding a colon byte", basic_line(10, Bytes{POKE, '1', 0x0E, 0, 0, ':', 0, 0, ':', CAT}),
         "line 10:2 CAT"},
        {"the walk ends at the variables", basic_line(10, Bytes{PRINT}) + Bytes{0x61, 0, 0, 1, 0, 0, CAT, 0x0D}, ""},
    };
    for (const Found& c : cases)
        EXPECT_EQ(tape::describe(tape::find_disc_only_syntax(c.program)), c.expected) << c.what;
}
