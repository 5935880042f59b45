#include "image/masterbasic_unpack.h"

#include "common/bytes.h"

#include <algorithm>
#include <array>

namespace image {
namespace {

namespace block {
constexpr std::size_t HEADER_LENGTH = 0;
constexpr std::size_t ESCAPE = 1;
constexpr std::size_t PACKED_LENGTH = 2;
constexpr std::size_t UNPACKED_LENGTH = 4;
constexpr std::size_t SIZE = 6;
constexpr std::size_t HEADER_EXTRA = 5; // the header length counts these five bytes besides the escape table
} // namespace block

constexpr std::size_t FULL_RUN = 256;
constexpr std::uint8_t PALETTE_END = 0xFF;
constexpr std::array<std::size_t, 4> SCREEN_PIXEL_BYTES = {0x1B00, 0x3800, 0x6000, 0x6000};
constexpr std::uint8_t LONG_RUN = 0x08;
constexpr std::uint8_t RUN_BITS = 0x07;
constexpr int SHORT_RUN_BASE = 4;
constexpr int LONG_RUN_BASE = 12;
constexpr int ESCAPE_RUN_LESS = 3;

// One block's packed bytes unpacked onto `out`; false when they are damaged.
bool unpack_block(std::span<const std::uint8_t> packed, std::span<const std::uint8_t> escapes, std::uint8_t escape,
                  std::size_t wanted, std::vector<std::uint8_t>& out)
{
    std::size_t made = 0;
    std::size_t at = 0;
    std::size_t next_escape = 0;
    while (made < wanted) {
        const auto found = std::find(packed.begin() + static_cast<std::ptrdiff_t>(at), packed.end(), escape);
        const auto copied = static_cast<std::size_t>(found - packed.begin()) - at;
        out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at), found);
        made += copied;
        if (found == packed.end())
            break;
        at += copied + 1;
        if (at >= packed.size())
            return false;
        if (packed[at] == escape) {
            if (next_escape >= escapes.size())
                return false;
            out.push_back(escape);
            out.push_back(escapes[next_escape++]);
            made += 2;
            at += 1;
        } else {
            if (at + 1 >= packed.size())
                return false;
            const std::size_t run = packed[at + 1] == 0 ? FULL_RUN : packed[at + 1];
            out.insert(out.end(), run, packed[at]);
            made += run;
            at += 2;
        }
        if (out.size() > MAX_UNPACKED_BYTES)
            return false;
    }
    return true;
}

// The nibbles of packed data, high one first, taken in turn.
class Nibbles
{
public:
    explicit Nibbles(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::optional<std::uint8_t> next()
    {
        if (m_at >= m_bytes.size() * 2)
            return std::nullopt;
        const std::uint8_t byte = m_bytes[m_at / 2];
        return static_cast<std::uint8_t>(m_at++ % 2 == 0 ? byte >> 4 : byte & 0x0F);
    }
    std::size_t left() const { return m_bytes.size() * 2 - m_at; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

// The run at the nibbles' position: pixel and length; nullopt when the nibbles end inside it.
std::optional<std::pair<std::uint8_t, int>> next_run(Nibbles& nibbles, std::uint8_t escape)
{
    const auto pixel = nibbles.next();
    if (!pixel)
        return std::nullopt;
    if (*pixel != escape)
        return std::pair{*pixel, 1};
    const auto value = nibbles.next();
    const auto count = nibbles.next();
    if (!value || !count)
        return std::nullopt;
    int length = (*count & RUN_BITS) + SHORT_RUN_BASE;
    if (*count & LONG_RUN) {
        const auto low = nibbles.next();
        if (!low)
            return std::nullopt;
        length = (((*count & RUN_BITS) << 4) | *low) + LONG_RUN_BASE;
    }
    if (*value == escape)
        length -= ESCAPE_RUN_LESS;
    return std::pair{*value, length};
}

} // namespace

std::optional<std::vector<std::uint8_t>> unpack_by_bytes(std::span<const std::uint8_t> packed)
{
    std::vector<std::uint8_t> out;
    std::size_t at = 0;
    while (at < packed.size() && packed[at] != 0) {
        if (packed.size() - at < block::SIZE || packed[at + block::HEADER_LENGTH] < block::HEADER_EXTRA)
            return std::nullopt;
        const std::size_t table = packed[at + block::HEADER_LENGTH] - block::HEADER_EXTRA;
        const std::uint8_t escape = packed[at + block::ESCAPE];
        const std::size_t length = common::get_le16(packed, at + block::PACKED_LENGTH);
        const std::size_t wanted = common::get_le16(packed, at + block::UNPACKED_LENGTH);
        at += block::SIZE;
        const auto escapes = packed.subspan(at, std::min(table, packed.size() - at));
        at += escapes.size();
        const auto data = packed.subspan(at, std::min(length, packed.size() - at));
        at += data.size();
        if (!unpack_block(data, escapes, escape, wanted, out))
            return std::nullopt;
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> unpack_by_nibbles(std::span<const std::uint8_t> packed, int screen_mode)
{
    if (screen_mode < 1 || screen_mode > 4)
        return std::nullopt;
    const std::size_t pixels = 2 * SCREEN_PIXEL_BYTES[static_cast<std::size_t>(screen_mode - 1)];
    Nibbles nibbles(packed);
    const auto escape = nibbles.next();
    if (!escape)
        return std::nullopt;
    std::vector<std::uint8_t> out;
    std::size_t index = 0;
    while (index < pixels) {
        const auto run = next_run(nibbles, *escape);
        if (!run)
            return std::nullopt;
        for (int i = 0; i < run->second; ++i, ++index) {
            // Pixel `index` of the packed order: its byte of the screen, and its half of that byte.
            const std::size_t offset = (index / 512) * 256 + ((index >> 2) & 0x7F) + 128 * (index & 1);
            if (offset >= MAX_UNPACKED_BYTES)
                return std::nullopt;
            if (out.size() <= offset)
                out.resize((offset / 256 + 1) * 256);
            out[offset] = static_cast<std::uint8_t>(out[offset] | (run->first << ((~index & 2) * 2)));
        }
    }
    // The palette and line changes: the bytes of the unread nibbles (all bytes when less than one is left), past
    // any 0xFF in front, up to their own closing 0xFF.
    const std::size_t tail = nibbles.left() / 2;
    auto rest = packed.subspan(tail == 0 ? 0 : packed.size() - tail);
    while (!rest.empty() && rest.front() == PALETTE_END)
        rest = rest.subspan(1);
    const auto end = std::find(rest.begin(), rest.end(), PALETTE_END);
    if (end == rest.end())
        return std::nullopt;
    out.insert(out.end(), rest.begin(), end + 1);
    return out;
}

} // namespace image
