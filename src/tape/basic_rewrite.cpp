#include "tape/basic_rewrite.h"

#include <algorithm>
#include <array>

namespace tape {
namespace {

constexpr std::uint8_t LOAD = 0xEF;
constexpr std::uint8_t SAVE = 0xF8;
constexpr std::uint8_t DRIVE_LOWER = 'd';
constexpr std::uint8_t DRIVE_UPPER = 'D';
constexpr std::uint8_t ASTERISK = '*';
constexpr std::uint8_t QUOTE = '"';
constexpr std::uint8_t DOLLAR = '$';
constexpr std::uint8_t BLANK = ' ';

// Positions relative to the keyword.
constexpr std::size_t SYNTAX = 1;        // first byte of the disc syntax
constexpr std::size_t CHANNEL_QUOTE = 2; // the quote in front of the channel letter
constexpr std::size_t NAME_SCAN = 2;     // where the search for the name of the drive form begins
// A string variable is a letter in front of the dollar sign; the letter stays.
constexpr std::size_t VARIABLE_LETTER = 1;

// The channel form as the disc system's manuals spell it: *"m"; then drive 1 or 2 as a stored number, SGN PI, or
// VAL "1", then the semicolon in front of the name. Numbers keep their digit byte: the stored value of pattern 2
// differs from pattern 1, its digit does not.
constexpr std::array<std::uint8_t, 13> CHANNEL_DRIVE_1 = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0x31, 0x0E,
                                                          0x00, 0x00, 0x01, 0x00, 0x00, 0x3B};
constexpr std::array<std::uint8_t, 13> CHANNEL_DRIVE_2 = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0x31, 0x0E,
                                                          0x00, 0x00, 0x02, 0x00, 0x00, 0x3B};
constexpr std::array<std::uint8_t, 8> CHANNEL_SGN_PI = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0xBC, 0xA7, 0x3B};
constexpr std::array<std::uint8_t, 10> CHANNEL_VAL_1 = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0xB0, 0x22, 0x31, 0x22, 0x3B};
constexpr std::array<std::span<const std::uint8_t>, 4> LOADER_PATTERNS = {CHANNEL_DRIVE_1, CHANNEL_DRIVE_2,
                                                                          CHANNEL_SGN_PI, CHANNEL_VAL_1};

bool is_keyword(std::uint8_t byte)
{
    return byte == LOAD || byte == SAVE;
}

bool starts_with(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> pattern)
{
    return bytes.size() >= pattern.size() && std::equal(pattern.begin(), pattern.end(), bytes.begin());
}

} // namespace

int rewrite_basic_loader(std::span<std::uint8_t> program)
{
    const std::size_t length = program.size();
    int count = 0;
    std::size_t p = 0;
    // The last byte is never taken as a keyword: nothing could follow it.
    while (p + SYNTAX < length) {
        if (!is_keyword(program[p])) {
            ++p;
            continue;
        }
        const std::uint8_t syntax = program[p + SYNTAX];
        if (syntax == DRIVE_LOWER || syntax == DRIVE_UPPER) {
            const auto rest = program.subspan(p + NAME_SCAN);
            const auto end = std::ranges::find_if(rest, [](std::uint8_t b) { return b == QUOTE || b == DOLLAR; });
            if (end != rest.end()) {
                const std::size_t q = p + NAME_SCAN + static_cast<std::size_t>(end - rest.begin());
                const std::size_t blank_end = *end == QUOTE ? q : q - VARIABLE_LETTER;
                if (blank_end > p + SYNTAX)
                    std::ranges::fill(program.subspan(p + SYNTAX, blank_end - (p + SYNTAX)), BLANK);
                ++count;
                // The walk goes on after the quote or dollar sign; the sign itself is not looked at again.
                p = q;
            }
        } else if (syntax == ASTERISK && p + CHANNEL_QUOTE < length && program[p + CHANNEL_QUOTE] == QUOTE) {
            const auto rest = program.subspan(p + SYNTAX);
            for (const auto pattern : LOADER_PATTERNS) {
                if (starts_with(rest, pattern)) {
                    std::ranges::fill(rest.first(pattern.size()), BLANK);
                    ++count;
                    break;
                }
            }
        }
        ++p;
    }
    return count;
}

} // namespace tape
