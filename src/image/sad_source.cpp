#include "image/sad_source.h"

#include <algorithm>
#include <string_view>

namespace image {

namespace {

constexpr std::string_view SIGNATURE = "Aley's disk backup";
constexpr int SECTOR_SIZE_UNIT = 64;

} // namespace

bool is_sad(std::span<const std::uint8_t> head)
{
    return head.size() >= SIGNATURE.size() && std::equal(SIGNATURE.begin(), SIGNATURE.end(), head.begin());
}

std::variant<std::unique_ptr<MemoryDisc>, common::Error> decode_sad(std::span<const std::uint8_t> bytes)
{
    if (!is_sad(bytes))
        return common::Error{"no \"Aley's disk backup\" header: not a SAD image", common::ErrorKind::NotAnImage};
    if (bytes.size() < sad_header::SIZE)
        return common::Error{"SAD image cut off inside its 22-byte header"};
    const DiscGeometry geometry{bytes[sad_header::TRACKS], bytes[sad_header::SIDES], bytes[sad_header::SECTORS],
                                bytes[sad_header::SECTOR_SIZE] * SECTOR_SIZE_UNIT};
    if (!is_disc_geometry(geometry))
        return common::Error{foreign_geometry_text("SAD image", geometry)};
    auto disc = std::make_unique<MemoryDisc>();
    const std::span<const std::uint8_t> data = bytes.subspan(sad_header::SIZE);
    std::size_t at = 0;
    for (int side = 0; side < SIDES; ++side) {
        for (int track = 0; track < TRACKS_PER_SIDE; ++track) {
            for (int index = 0; index < SECTORS_PER_TRACK; ++index, at += SECTOR_SIZE) {
                if (data.size() - std::min(at, data.size()) < SECTOR_SIZE)
                    continue;
                std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), SECTOR_SIZE,
                            disc->sector(track, side, index).begin());
                disc->set_status(track, side, index, SectorStatus::Ok);
            }
        }
    }
    const std::size_t expected = static_cast<std::size_t>(IMAGE_BYTES) + sad_header::SIZE;
    if (bytes.size() < expected)
        disc->add_finding("the file is " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(expected) +
                          ": the sectors it lacks read as missing");
    return disc;
}

} // namespace image
