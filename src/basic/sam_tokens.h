// The keywords of SAM BASIC (ROM 3.0) as its programs store them: commands and qualifiers as single bytes from
// 0x85 (USING) to 0xF6 (ZOOM), functions and operators as 0xFF and one byte from 0x3B (PI) to 0x83 (>=). Both
// ranges are one table in the ROM, indexed from 0x3B, so a byte names the same word in either form; which form a
// byte may take is stated here. Codes the ROM leaves unused have no name.
#pragma once

#include <cstdint>
#include <string_view>

namespace basic {

// The codes from `first` to `last`, both included.
struct CodeRange
{
    std::uint8_t first;
    std::uint8_t last;
    constexpr bool contains(std::uint8_t code) const { return code >= first && code <= last; }
};

inline constexpr std::uint8_t SAM_FUNCTION_PREFIX = 0xFF;
inline constexpr CodeRange SAM_FUNCTIONS = {0x3B, 0x84};
inline constexpr CodeRange SAM_KEYWORDS = {0x85, 0xF6};

// The word of a single-byte keyword (0x85-0xF6); "" for any other byte and for unused codes.
std::string_view sam_keyword(std::uint8_t token);

// The word of a function or operator written as 0xFF and `code` (0x3B-0x84); "" for any other code and for unused
// codes.
std::string_view sam_function(std::uint8_t code);

} // namespace basic
