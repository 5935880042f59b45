// Geometry of +D / DISCiPLE / SAM disc images. An image holds 2 sides x 80 tracks x 10 sectors of 512 bytes
// (819,200 bytes), stored either cylinder by cylinder (.mgt, .dsk) or side after side (.img).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace image {

inline constexpr int SIDES = 2;
inline constexpr int TRACKS_PER_SIDE = 80;
inline constexpr int SECTORS_PER_TRACK = 10;
inline constexpr std::size_t SECTOR_SIZE = 512;
inline constexpr std::int64_t TRACK_BYTES = SECTORS_PER_TRACK * static_cast<std::int64_t>(SECTOR_SIZE);
inline constexpr std::int64_t CYLINDER_BYTES = SIDES * TRACK_BYTES;
inline constexpr std::int64_t SIDE_BYTES = TRACKS_PER_SIDE * TRACK_BYTES;
inline constexpr std::int64_t IMAGE_BYTES = SIDES * SIDE_BYTES;

// A track byte: bits 0-6 the track, bit 7 the side.
inline constexpr std::uint8_t SIDE_BIT = 0x80;
inline constexpr std::uint8_t TRACK_MASK = 0x7F;

enum class Layout
{
    None,        // not an image name
    Interleaved, // .mgt, .dsk: track 0 side 0, track 0 side 1, track 1 side 0, ...
    Sequential,  // .img: all of side 0, then all of side 1
};

// The layout named by the lower-cased extension of the file name (image_kinds.h: the raw kinds' rows);
// Layout::None for anything else.
Layout layout_from_path(std::string_view path);

// Byte offset of a sector in the file. Out-of-range addresses are pulled onto the nearest valid sector
// (track above 79 reads track 79; sector index below 0 reads 0, above 9 reads 9). Layout must not be None.
std::int64_t sector_offset(Layout layout, std::uint8_t track_byte, int sector_index);

// "track 12 side 1", as findings, errors and progress lines name a track.
std::string track_text(int track, int side);

} // namespace image
