// BASIC programs from text: a listing in Kestrel's own syntax (what `kestrel-cli basic` prints, escapes and all),
// or a program typed in an editor, turned into the bytes the machine stores. Each line is its number, optionally
// after blanks, then its text: keywords become tokens (see keyword_match.h for the spellings taken), each number
// gets its hidden form (numbers.h) unless a "\{=VALUE}" mark gives another, the escapes of the listing become
// their bytes, and the blanks the listing prints around keywords are left out again. Lines keep the order of the
// text. A ZX program is its lines; a SAM program ends in the 0xFF marker.
//
// A line that cannot be a program line (no number, a number out of range, an unknown escape, a character outside
// the machine's set) is refused with its line number in the text and the reason, and nothing is made. Line ends
// are LF or CRLF; blank lines are passed over; UTF-8 "£" and "©" stand for the machine's pound and copyright.
#pragma once

#include "basic/numbers.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace basic {

struct TokeniseError
{
    std::size_t text_line = 0; // 1-based line of the text
    std::string reason;
};

struct Program
{
    std::vector<std::uint8_t> bytes;
    std::size_t lines = 0;
    std::optional<std::uint16_t> first_line; // the number of the first line, when there is one
};

std::variant<Program, TokeniseError> tokenise(std::string_view text, Machine machine);

// The stored text of one line (without its number, length and ENTER) from the text after its number, or why not.
std::variant<std::vector<std::uint8_t>, std::string> tokenise_line(std::string_view body, Machine machine);

// "line 3: no line number".
std::string error_text(const TokeniseError& error);

} // namespace basic
