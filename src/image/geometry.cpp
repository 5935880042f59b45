#include "image/geometry.h"

#include <algorithm>
#include <cassert>

namespace image {

std::int64_t sector_offset(Layout layout, std::uint8_t track_byte, int sector_index)
{
    assert(layout != Layout::None);
    const std::int64_t track = std::min<std::int64_t>(track_byte & TRACK_MASK, TRACKS_PER_SIDE - 1);
    const std::int64_t side = (track_byte & SIDE_BIT) ? 1 : 0;
    const std::int64_t sector = std::clamp(sector_index, 0, SECTORS_PER_TRACK - 1);
    const auto sector_bytes = static_cast<std::int64_t>(SECTOR_SIZE);
    if (layout == Layout::Interleaved)
        return track * CYLINDER_BYTES + side * TRACK_BYTES + sector * sector_bytes;
    return track * TRACK_BYTES + side * SIDE_BYTES + sector * sector_bytes;
}

std::string track_text(int track, int side)
{
    return "track " + std::to_string(track) + " side " + std::to_string(side);
}

} // namespace image
