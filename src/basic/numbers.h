// The numbers of a BASIC line: the text of a number (decimal, with a fraction and an exponent; "&" and hex digits
// in SAM BASIC; binary digits after BIN) and the five bytes after 0x0E that the ROM stores behind it when the line
// is entered. Both ROMs share the form: a whole number 0-65535 as 0x00, a sign byte (0x00, or 0xFF for a negative
// number), the value low byte first and 0x00; any other number as a floating-point exponent (128 + e) and four
// mantissa bytes high first (value = mantissa / 2^32 * 2^e, the mantissa's top bit, always 1, holding the sign),
// rounded to the nearest mantissa.
//
// A hidden number that is not the one its text gives (a loader's "0" that holds 32768) is shown in a listing as
// "\{=32768}" behind the text; the tokeniser reads it back, so that the listing says what the program holds.
#pragma once

#include "basic/characters.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace basic {

enum class Machine
{
    Zx,
    Sam,
};

using HiddenNumber = std::array<std::uint8_t, HIDDEN_NUMBER>;

// A number's text at the start of a piece of text, its length and the form stored behind it; `error` says why a
// number that cannot be stored (too large, too many binary digits) cannot.
struct NumberText
{
    std::size_t length = 0;
    HiddenNumber form{};
    std::string error;
};

// Whether a number's text may start at `c` (a digit, '.', and for SAM '&').
bool starts_number(char c, Machine machine);

// The longest number text at the start of `text`; binary digits when it follows BIN. std::nullopt when no number
// starts there.
std::optional<NumberText> read_number(std::string_view text, Machine machine, bool after_bin);

// Whether the line's bytes before `at`, blanks aside, end in the BIN keyword.
bool follows_bin(std::span<const std::uint8_t> line, std::size_t at, Machine machine);

// The mark of the hidden number whose 0x0E stands at `at` in `line`, the text since the previous hidden number
// starting at `from`: "" when the number is the one the text before it gives, else "\{=VALUE}" (VALUE a decimal
// number that gives the same five bytes, or "0x" and the bytes in hex when none does or fewer than five are left).
std::string hidden_number_mark(std::span<const std::uint8_t> line, std::size_t from, std::size_t at, Machine machine);

// The bytes a mark's VALUE stands for (its part between "\{=" and "}"); std::nullopt for a VALUE that is not a
// number or bytes.
std::optional<std::vector<std::uint8_t>> mark_bytes(std::string_view value);

} // namespace basic
