// Numbers as messages show them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace common {

// The decimal digits with a comma before each group of three: 19526 -> "19,526".
inline std::string grouped(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (auto at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

// "4 MiB" for whole mebibytes, "1000 bytes" otherwise.
inline std::string size_text(std::size_t bytes)
{
    constexpr std::size_t MIB = 1024 * 1024;
    if (bytes >= MIB && bytes % MIB == 0)
        return std::to_string(bytes / MIB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// "0x" and `digits` upper-case hex digits, as messages and listings show a byte (2) or an address (4).
inline std::string hex(std::uint32_t value, int digits)
{
    constexpr std::string_view DIGITS = "0123456789ABCDEF";
    constexpr int NIBBLE_BITS = 4;
    constexpr std::uint32_t NIBBLE_MASK = 0xF;
    std::string text = "0x";
    for (int shift = (digits - 1) * NIBBLE_BITS; shift >= 0; shift -= NIBBLE_BITS)
        text += DIGITS[(value >> shift) & NIBBLE_MASK];
    return text;
}

inline constexpr int BYTE_DIGITS = 2;
inline constexpr int WORD_DIGITS = 4;

} // namespace common
