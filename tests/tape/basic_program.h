// Tokenised ZX BASIC for tape tests: a line is its number (high byte first), its length (low byte first), the
// tokens and ENTER. A small integer n appears as its digit, 0x0E and the five bytes 00 00 n 00 00.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t TOKEN_LOAD = 0xEF;
inline constexpr std::uint8_t TOKEN_SAVE = 0xF8;
inline constexpr std::uint8_t TOKEN_CODE = 0xAF;
inline constexpr std::uint8_t TOKEN_RANDOMIZE = 0xF9;
inline constexpr std::uint8_t TOKEN_USR = 0xC0;

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes ascii(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// n from 0 to 9.
inline Bytes small_number(std::uint8_t n)
{
    return Bytes{static_cast<std::uint8_t>('0' + n), 0x0E, 0x00, 0x00, n, 0x00, 0x00};
}

inline Bytes basic_line(std::uint16_t number, const Bytes& tokens)
{
    const auto length = static_cast<std::uint16_t>(tokens.size() + 1);
    Bytes line = {static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number & 0xFF),
                  static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8)};
    return line + tokens + Bytes{0x0D};
}

} // namespace testing_support
