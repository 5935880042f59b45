// Listing of ZX Spectrum BASIC programs: the bytes of a tape data block, up to the program length from the tape
// header (the variables after it are not listed), turned into text lines as the Spectrum shows them. A line is
// its number (high byte first), its length (low byte first) and that many bytes ending in ENTER (0x0D).
//
// The text is plain ASCII in the escapes the Spectrum tools share: keywords of the 48K ROM (0xA5-0xFF) and of the
// 128K ROM (0xA3 SPECTRUM and 0xA4 PLAY outside strings, the UDGs T and U inside them) with the ROM's spacing;
// "\\" for a backslash, "\*" for the copyright sign, "`" for the pound sign, "\a" to "\u" for the user-defined
// graphics, and for a block graphic a backslash and two characters, left and right half, each ' ' (empty), '\''
// (top), '.' (bottom) or ':' (both). The hidden five-byte numbers after 0x0E are left out. Colour and position
// codes appear with their parameter bytes as "\{INK 2}", "\{AT 3,4}", "\{TAB 5,0}", any other control byte as
// "\{0x06}". Disc syntax (LOAD d1"name"CODE, POKE @, LOAD p*) is listed as the bytes stand.
//
// Damage stops the listing: the lines before it are listed, the damaged line as far as its bytes go, and one mark
// line says at which byte of the data the damage starts and what it is. Nothing outside the data is ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace basic {

// The highest line number a program in memory can hold: the ROM takes a line whose number's high byte is 0x40 or
// more for the end of the program (the variables start there), so a larger number inside the program is damage.
// Numbers above 9999 cannot be typed, but programs poke them in (a last line 16383 that LIST never shows).
inline constexpr std::uint16_t MAX_LINE_NUMBER = 0x3FFF;
// The line number field and the length field in front of a line's text.
inline constexpr std::size_t LINE_HEADER = 4;
inline constexpr std::uint8_t ENTER = 0x0D;

// Where the damage of a program starts (a byte offset in the data) and what it is.
struct Damage
{
    std::size_t offset = 0;
    std::string reason;
};

struct Listing
{
    // One entry per program line: the number right-aligned in five columns, then the text; after the last line
    // listed, the damage mark if there is damage.
    std::vector<std::string> lines;
    // The number of each program line, in the order of `lines` (the damage mark has none).
    std::vector<std::uint16_t> numbers;
    std::optional<Damage> damage;
};

// The mark line for a damage: "** damage at byte N: reason".
std::string damage_mark(const Damage& damage);

// The ZX keywords, shared by the listing and the tokeniser: the word of a token 0xA3-0xFF ("" for any other byte)
// and the blanks the ROM prints around it (before it when it starts with a letter and is OR or later, or one of
// the 128K commands; after it when it ends in a letter or '$', but for RND, INKEY$ and PI).
inline constexpr std::uint8_t ZX_FIRST_TOKEN = 0xA3;
std::string_view zx_keyword(std::uint8_t token);
bool zx_leading_blank(std::uint8_t token);
bool zx_trailing_blank(std::uint8_t token);

// The text of one line from the bytes after its four-byte header, without the final ENTER.
std::string line_text(std::span<const std::uint8_t> text);

// What differs between the BASIC dialects the line walk reads: the highest line number, a line-number high byte
// that ends the program where it stands (none for ZX BASIC, whose program length says where it ends), and the
// text of a line.
struct Dialect
{
    std::uint16_t max_line_number = MAX_LINE_NUMBER;
    std::optional<std::uint8_t> end_marker;
    std::string (*line_text)(std::span<const std::uint8_t>) = &basic::line_text;
};

// Lists the program part of `data` (its first `program_length` bytes; all of it when that is larger, which is
// damage). Never fails: damage ends the listing with its mark. With an end marker, the program ends at a line
// starting with it, and a program without one is damaged.
Listing list_program(std::span<const std::uint8_t> data, std::size_t program_length, const Dialect& dialect = {});

} // namespace basic
