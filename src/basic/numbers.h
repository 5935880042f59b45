// The numbers of a BASIC line: the text of a number (decimal, with a fraction and an exponent; "&" and hex digits
// in SAM BASIC; binary digits after BIN) and the five bytes after 0x0E that the ROM stores behind it when the line
// is entered. Both ROMs share the form: a whole number 0-65535 (in SAM BASIC only when written without a point or
// an exponent, as samfile's tokeniser, checked against the SAM, stores it) as 0x00, a sign byte (0x00, or 0xFF for a
// negative number), the value low byte first and 0x00; any other number as a floating-point exponent (128 + e) and four
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

// Whether a number may start after these two bytes of text: not after a letter or digit of a name, but after a
// single letter in a ZX disc statement (+D syntax puts a drive number there: LOAD d1"name", OPEN #4;d1"file").
bool number_may_follow(std::uint8_t last, std::uint8_t before_last, bool disc_statement, Machine machine);

// Whether a ZX keyword starts a disc statement (LOAD, SAVE, VERIFY, MERGE, CAT, FORMAT, MOVE, ERASE, OPEN #,
// CLOSE #), or ends one (THEN; so does a ':').
bool starts_disc_statement(std::uint8_t token);
inline constexpr std::uint8_t ZX_THEN = 0xCB;

// The listing's view of the numbers in a line, as the tokeniser will read the listing: told every byte of the line
// as the listing writes it, it knows where a number's text ends, so that the hidden number after it is marked only
// when the tokeniser would not make the same five bytes there.
class NumberSpotter
{
public:
    explicit NumberSpotter(Machine machine) : m_machine(machine) {}

    // A byte written as a character (or an escape of one); `line` is the line and `at` the byte's offset. Outside
    // strings and REM a number's text may start there. True when the character is part of a number's text that
    // cannot be stored (too large): the listing writes such characters as "\{0xNN}", which reads back as the
    // same bytes instead of a refused number.
    bool character(std::span<const std::uint8_t> line, std::size_t at, bool in_text);
    // A parameter byte of a control code.
    void parameter(std::uint8_t b);
    void keyword(std::uint8_t token);
    // The mark for the hidden number whose 0x0E stands at `at` ("" or "\{=VALUE}"): VALUE a decimal number that
    // gives the same five bytes, or "0x" and the bytes in hex when none does or fewer than five are left.
    std::string mark(std::span<const std::uint8_t> line, std::size_t at, bool in_text);

private:
    Machine m_machine;
    std::uint8_t m_last = 0;
    std::uint8_t m_before_last = 0;
    bool m_disc_statement = false;
    std::size_t m_number_end = 0; // where the number's text that started last ends
    std::optional<HiddenNumber> m_number_form;
    bool m_number_refused = false;
};

// Six bytes the ROM's editor puts into a line where no text stands, 0x0E and five more: after each parameter of
// DEF FN (ZX and SAM: a letter, or a letter and '$'), where a call keeps its argument, 0x0E and five bytes left as
// they were (here 0); and in SAM BASIC (PROCSY, FNSYN and MKCLBF in ROM 3.0) after the name of a procedure call
// (a statement that starts with a name: at the start of a line, after ':', THEN, ELSE or ON ERROR), 0x0E, 0xFD three
// times and two bytes left as they were, and after the name of an FN call the same with 0xFE. Running or loading the
// program overwrites all but the first bytes of a call's, and a run those of DEF FN.
struct EditorBytes
{
    std::size_t at = 0;  // where they stand, or belong, in the line
    HiddenNumber form{}; // the five bytes after 0x0E as the editor writes them
};
inline constexpr HiddenNumber DEF_FN_FORM = {0, 0, 0, 0, 0};
inline constexpr HiddenNumber SAM_PROC_FORM = {0xFD, 0xFD, 0xFD, 0, 0};
inline constexpr HiddenNumber SAM_FN_FORM = {0xFE, 0xFE, 0xFE, 0, 0};

// Where the line's text (the stored text of one line, whether it holds these bytes or not yet) has or needs them.
std::vector<EditorBytes> editor_bytes(std::span<const std::uint8_t> line, Machine machine);

// Whether the 0x0E at `at` starts one of `found` with the bytes the editor writes: listings leave those out, and the
// tokeniser puts them back.
bool editor_default(std::span<const EditorBytes> found, std::span<const std::uint8_t> line, std::size_t at);

// The bytes a mark's VALUE stands for (its part between "\{=" and "}"); std::nullopt for a VALUE that is not a
// number or bytes.
std::optional<std::vector<std::uint8_t>> mark_bytes(std::string_view value);

} // namespace basic
