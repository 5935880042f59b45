// Little-endian and big-endian field helpers for byte records read from discs and written to tapes.
// They compose bytes by index, so the host's byte order never matters. Callers check a record's length
// once before reading its fields; the asserts only catch programming errors.
#pragma once

#include <cassert>
#include <cstdint>
#include <span>
#include <vector>

namespace common {

constexpr std::uint16_t get_le16(std::span<const std::uint8_t> b, std::size_t at)
{
    assert(at + 2 <= b.size());
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

constexpr std::uint16_t get_be16(std::span<const std::uint8_t> b, std::size_t at)
{
    assert(at + 2 <= b.size());
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

constexpr void put_le16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v)
{
    assert(at + 2 <= b.size());
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr void put_be16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v)
{
    assert(at + 2 <= b.size());
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
}

constexpr std::uint32_t get_le24(std::span<const std::uint8_t> b, std::size_t at)
{
    assert(at + 3 <= b.size());
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16));
}

constexpr std::uint32_t get_le32(std::span<const std::uint8_t> b, std::size_t at)
{
    assert(at + 4 <= b.size());
    return get_le24(b, at) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline void append_le16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

} // namespace common
