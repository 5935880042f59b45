// Listing of SAM BASIC programs: the data of a SAM Basic file (after its nine-byte disc header), lines as in ZX
// BASIC (number high byte first, length low byte first, text ending in ENTER), the program ending at the line
// whose number's high byte is 0xFF; the variables follow it and are not listed. Line numbers go up to 0xFEFF
// (65279), the highest the ROM accepts.
//
// The text is ASCII in the escapes of the ZX listing, after the blank that LIST prints behind each line number
// (also before a procedure name or label that starts the line): keywords by name (0x85-0xF6 and the functions
// after 0xFF) with a blank before one that starts with a letter and after one that ends in a letter or '$' (none
// before ':', ';', ',', ')' or an operator), a blank the line stores beside a keyword shown besides these; the hidden
// five-byte numbers after 0x0E left out;
// "\\" for a backslash, "\*" for the copyright sign, and "\{0xNN}" for a control byte, for a byte inside a string
// from 0x80 up (a character of the SAM's own set), and for a code no keyword uses ("\{0xFF 0xNN}" after 0xFF).
//
// Damage is marked as in the ZX listing; a program that runs to the end of the data without its end marker is
// damaged there.
#pragma once

#include "basic/listing.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace basic {

inline constexpr std::uint16_t SAM_MAX_LINE_NUMBER = 0xFEFF;
inline constexpr std::uint8_t SAM_PROGRAM_END = 0xFF;

// The text of one SAM BASIC line from the bytes after its four-byte header, without the final ENTER, starting with
// the blank that follows the line number.
std::string sam_line_text(std::span<const std::uint8_t> text);

// Lists the SAM BASIC program in the first `length` bytes of `data` (the file's length from its directory entry;
// all of `data` when that is larger, which is damage). Never fails.
Listing list_sam_program(std::span<const std::uint8_t> data, std::size_t length);

} // namespace basic
