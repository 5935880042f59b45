// Keywords as people type them, for the tokeniser and for the listings that must read back the same: any letter
// case, the words of "GO TO", "DEF FN" or "OPEN #" with one blank or none between them, the longest keyword first.
// A keyword that ends in a letter is not taken when a letter (or '$', or in SAM BASIC '_') follows it, so that
// "total" is a name and not TO; "print1" is PRINT 1. The words are the lister's tables (listing.cpp, sam_tokens.cpp).
#pragma once

#include "basic/numbers.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace basic {

struct KeywordMatch
{
    std::vector<std::uint8_t> bytes; // one token, or SAM's 0xFF and a function code
    std::size_t length = 0;          // how much of the text it takes
    bool letter_first = false;
    bool word_end = false; // ends in a letter or '$'
};

// The keyword the text starts with, if any. The caller says whether a keyword may start there at all (not after a
// letter or digit of a name).
std::optional<KeywordMatch> match_keyword(std::string_view text, Machine machine);

// Listings: the raw letters at `word_starts` (offsets into `text`, ascending) that the tokeniser would take for the
// start of a keyword are written as "\{0xNN}" instead, so that the text reads back as the same bytes.
void escape_keyword_lookalikes(std::string& text, std::span<const std::size_t> word_starts, Machine machine);

// Whether the character continues a name, so that a keyword cannot start after it.
bool continues_name(std::uint8_t c);

} // namespace basic
