// Bytes that ZX and SAM BASIC programs share: a number's hidden form, and the characters a listing treats alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace basic {

inline constexpr std::uint8_t NUMBER_MARK = 0x0E; // followed by the number's five hidden bytes
inline constexpr std::size_t HIDDEN_NUMBER = 5;
inline constexpr std::uint8_t FIRST_PRINTABLE = 0x20;
inline constexpr std::uint8_t BLANK = ' ';
inline constexpr std::uint8_t QUOTE = '"';
inline constexpr std::uint8_t BACKSLASH = '\\';
inline constexpr std::uint8_t COPYRIGHT = 0x7F;

} // namespace basic
