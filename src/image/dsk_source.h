// Extended DSK and the older CPCEMU DSK containers (the Amstrad CPC emulators' disc format, also written by
// SimCoupe, SAMdisk and libdsk for SAM and +D discs), recognised by their signature whatever the file is called.
// A 256-byte disc header gives the tracks and sides; each track then has a 256-byte header listing its sectors by
// ID, followed by their data in that order. Only the 80-track, 2-side, 10-sector, 512-byte disc is accepted.
// Sectors are found by their IDs (1-10), so a track that stores them in another order reads right; a sector the
// track lacks reads as zeros (SectorStatus::Missing), one with a data error or cut short as zeros
// (SectorStatus::Unreadable). Such damage, a sector ID found twice and a file that ends early are findings.
#pragma once

#include "image/container.h"

#include <cstdint>
#include <memory>
#include <span>
#include <variant>

namespace image {

// Offsets within the disc header.
namespace dsk_disc {
inline constexpr std::size_t SIZE = 0x100;
inline constexpr std::size_t SIGNATURE_BYTES = 16; // enough for is_dsk
inline constexpr std::size_t TRACKS = 0x30;
inline constexpr std::size_t SIDES = 0x31;
inline constexpr std::size_t TRACK_SIZE = 0x32;  // CPCEMU DSK: every track's size, low byte first
inline constexpr std::size_t TRACK_SIZES = 0x34; // Extended DSK: one byte per track (size / 256), 0 unformatted
} // namespace dsk_disc

// Offsets within a track header, and within its 8-byte sector records.
namespace dsk_track {
inline constexpr std::size_t SIZE = 0x100;
inline constexpr std::size_t SIZE_CODE = 0x14; // sector size 128 << code
inline constexpr std::size_t SECTOR_COUNT = 0x15;
inline constexpr std::size_t SECTORS = 0x18;
inline constexpr std::size_t SECTOR_RECORD = 8;
inline constexpr std::size_t MAX_SECTORS = (SIZE - SECTORS) / SECTOR_RECORD;
} // namespace dsk_track
namespace dsk_sector {
inline constexpr std::size_t ID = 2;
inline constexpr std::size_t SIZE_CODE = 3;
inline constexpr std::size_t STATUS1 = 4;
inline constexpr std::size_t STATUS2 = 5;
inline constexpr std::size_t DATA_LENGTH = 6; // Extended DSK only, low byte first
} // namespace dsk_sector

// Whether bytes start with the signature of an Extended DSK or a CPCEMU DSK.
bool is_dsk(std::span<const std::uint8_t> head);

// The disc a DSK container holds. Fails when the bytes are no DSK, hold another geometry (the message names it),
// or hold no track at all.
std::variant<std::unique_ptr<MemoryDisc>, common::Error> decode_dsk(std::span<const std::uint8_t> bytes);

} // namespace image
