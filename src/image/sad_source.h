// SAD disc images ("Aley's disk backup", written by SAM tools such as SAMdisk and SimCoupe): a 22-byte header (the
// signature, then sides, tracks per side, sectors per track and sector size / 64, one byte each), then the sectors
// side after side, track by track. Only the 80-track, 2-side, 10-sector, 512-byte disc is accepted; a file cut
// short reads its missing sectors as zeros (SectorStatus::Missing) and says so in a finding.
#pragma once

#include "image/container.h"

#include <cstdint>
#include <memory>
#include <span>
#include <variant>

namespace image {

// Offsets within the header.
namespace sad_header {
inline constexpr std::size_t SIZE = 22;
inline constexpr std::size_t SIGNATURE = 0; // 18 bytes
inline constexpr std::size_t SIDES = 18;
inline constexpr std::size_t TRACKS = 19;
inline constexpr std::size_t SECTORS = 20;
inline constexpr std::size_t SECTOR_SIZE = 21; // in units of 64 bytes
} // namespace sad_header

// Whether bytes start with the SAD signature.
bool is_sad(std::span<const std::uint8_t> head);

// The disc a SAD image holds. Fails when the header is missing or declares another geometry (the message names
// it).
std::variant<std::unique_ptr<MemoryDisc>, common::Error> decode_sad(std::span<const std::uint8_t> bytes);

} // namespace image
