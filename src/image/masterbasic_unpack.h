// MasterBASIC's packed SAVEs: with SAVE's packing modes MasterBASIC (with MasterDOS) stores a file's data packed,
// and marks the mode in bits 2-3 of entry byte 220 (image/sam_facts.h). Two packings exist:
// - by bytes (mode 2, any file): blocks of a header (its length less five counts the escape table that follows
//   the six header bytes: header length, escape byte, packed length and unpacked length, both low byte first), the
//   table, and the packed bytes, in which the escape byte starts a run (a byte and a count, 0 for 256) or, doubled,
//   stands for the escape byte and the next byte of the table; a block header whose first byte is 0 ends the data;
// - by nibbles (mode 3, screens only): the first nibble is the escape, then pixels (two per byte, the screen's
//   lines in an order of their own), a run being the escape, the pixel and a count of 4-11 or, with bit 3 set, of
//   12-139 in two nibbles (three less for a run of the escape itself); the palette and line changes follow
//   unpacked, up to their closing 0xFF.
// The rules are mgtdisklib's (File.uncompress_mode2 and uncompress_mode3), which its tests check against the same
// screens saved unpacked; odd corners (what an empty remainder means) are kept as it has them. Damaged data is
// refused, never read beyond.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace image {

inline constexpr std::size_t MAX_UNPACKED_BYTES = 1024 * 1024; // more than any SAM file: a longer result is damage

// The data packed by bytes unpacked; nullopt when it is damaged.
std::optional<std::vector<std::uint8_t>> unpack_by_bytes(std::span<const std::uint8_t> packed);

// A screen of `screen_mode` (1-4) packed by nibbles unpacked; nullopt when it is damaged.
std::optional<std::vector<std::uint8_t>> unpack_by_nibbles(std::span<const std::uint8_t> packed, int screen_mode);

} // namespace image
