#include "tape/tap_writer.h"

#include "common/bytes.h"

#include <array>

namespace tape {
namespace {

// A block's length counts its checksum byte besides the flag and contents; the header record holds the flag.
constexpr std::size_t CHECKSUM_SIZE = 1;
constexpr std::size_t DATA_FLAG_SIZE = 1;
constexpr std::size_t CHECKSUM_LANES = 16;

} // namespace

std::uint8_t xor_checksum(std::span<const std::uint8_t> bytes)
{
    // Sixteen independent lanes let the compiler XOR a whole vector register of bytes at once.
    std::array<std::uint8_t, CHECKSUM_LANES> lanes{};
    std::size_t at = 0;
    for (; at + CHECKSUM_LANES <= bytes.size(); at += CHECKSUM_LANES) {
        for (std::size_t lane = 0; lane < CHECKSUM_LANES; ++lane)
            lanes[lane] ^= bytes[at + lane];
    }
    std::uint8_t sum = 0;
    for (const std::uint8_t b : lanes)
        sum ^= b;
    for (const std::uint8_t b : bytes.subspan(at))
        sum ^= b;
    return sum;
}

void write_tap_blocks(std::vector<std::uint8_t>& out, const image::TapeHeader& header,
                      std::span<const std::uint8_t> data)
{
    common::append_le16(out, static_cast<std::uint16_t>(image::TAPE_HEADER_SIZE + CHECKSUM_SIZE));
    out.insert(out.end(), header.begin(), header.end());
    out.push_back(xor_checksum(header));

    common::append_le16(out, static_cast<std::uint16_t>(data.size() + DATA_FLAG_SIZE + CHECKSUM_SIZE));
    out.push_back(DATA_FLAG);
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(static_cast<std::uint8_t>(xor_checksum(data) ^ DATA_FLAG));
}

} // namespace tape
