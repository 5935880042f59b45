// The .sna emulator snapshot. A 27-byte header of registers, then the 48 KiB from 0x4000. The 48K form has no
// field for the PC: it lies on the stack, and the header's SP points at it. The 128K form keeps the real SP and
// follows the 48 KiB (banks 5, 2 and the one paged at 0xC000) with the PC, the port 0x7FFD value, a TR-DOS byte
// and the other banks in ascending order (six of them when bank 5 or 2 is the paged one, which then comes twice
// in the 48 KiB).
#pragma once

#include "snapshot/snapshot.h"

#include <cstdint>
#include <span>
#include <variant>
#include <vector>

namespace snapshot {

namespace sna {
// The register pairs lie as PairLayout::Sna says; the other fields:
inline constexpr std::size_t I = 0;
inline constexpr ByteBits IFF2 = {19, 0x04}; // the format keeps one interrupt flip-flop
inline constexpr std::size_t R = 20;
inline constexpr ByteBits MODE = {25, 0x03};
inline constexpr ByteBits BORDER = {26, 0x07};
inline constexpr std::size_t HEADER_SIZE = 27;
inline constexpr std::size_t SIZE_48K = HEADER_SIZE + RAM_BYTES_48K; // 49,179

// After the 48 KiB of a 128K file: the PC, port 0x7FFD, whether TR-DOS is paged in.
inline constexpr std::size_t PC = 0;
inline constexpr std::size_t PORT_7FFD = 2;
inline constexpr std::size_t EXTENSION_SIZE = 4;
inline constexpr std::size_t SIZE_128K = SIZE_48K + EXTENSION_SIZE + 5 * PAGE_BYTES; // 131,103
inline constexpr std::size_t SIZE_128K_REPEATED = SIZE_128K + PAGE_BYTES;            // 147,487
} // namespace sna

// The snapshot as a .sna file. The 48K form stores the PC in the two bytes below SP, as every .sna reader
// expects, so those bytes must be RAM (SP from 0x4002 to 0xFFFF, or 0x0000); a snapshot read from a +D disc has
// its PC there already.
std::vector<std::uint8_t> encode_sna(const Snapshot& snap);

// The snapshot a .sna file holds: 49,179 bytes for a 48K (the PC taken off the stack, SP raised past it, the two
// bytes left in memory as the machine left them), 131,103 or 147,487 for a 128K. Any other size is refused.
common::Result<Snapshot> decode_sna(std::span<const std::uint8_t> bytes);

} // namespace snapshot
