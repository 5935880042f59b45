// The .z80 emulator snapshot, version 3: a 30-byte header of registers (its PC field zero), a 54-byte extension
// with the PC, the machine (48K or 128K) and the 128K paging, then each RAM page as a block of its own, packed
// with the format's run-length code. Pages of a 48K are numbered 8 (0x4000), 4 (0x8000) and 5 (0xC000); bank n of
// a 128K is page n + 3.
#pragma once

#include "snapshot/snapshot.h"

#include <array>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

namespace snapshot {

namespace z80 {
// The register pairs lie as PairLayout::Z80 says, but for AF and AF', kept A before F; the other fields:
inline constexpr std::size_t AF = 0;
inline constexpr std::size_t PC_V1 = 6; // zero: the header continues with an extension
inline constexpr std::size_t I = 10;
inline constexpr ByteBits R_LOW = {11, 0x7F};
inline constexpr std::size_t FLAGS = 12; // bit 0: bit 7 of R; bits 1-3: border
inline constexpr std::size_t AF_ALT = 21;
inline constexpr std::size_t IFF1 = 27;
inline constexpr std::size_t IFF2 = 28;
inline constexpr ByteBits MODE = {29, 0x03};
inline constexpr std::size_t V1_SIZE = 30;
inline constexpr std::size_t EXTENSION_LENGTH = V1_SIZE; // a 2-byte length of the extension that follows
inline constexpr std::size_t PC = 32;
inline constexpr std::size_t MACHINE = 34;
inline constexpr std::size_t PORT_7FFD = 35;
inline constexpr ByteBits VARIANT = {37, 0x80}; // the machine is its variant: 16K for a 48K, +2 for a 128K
inline constexpr std::size_t V3_EXTENSION = 54;
inline constexpr std::size_t V3_SIZE = V1_SIZE + 2 + V3_EXTENSION;

// A page block: a 2-byte length of the packed data (0xFFFF: 16,384 bytes as they are), a page number, the data.
inline constexpr std::size_t BLOCK_LENGTH = 0;
inline constexpr std::size_t BLOCK_PAGE = 2;
inline constexpr std::size_t BLOCK_HEADER = 3;
inline constexpr std::uint16_t UNPACKED_BLOCK = 0xFFFF;

// The pages of a 48K's memory at 0x4000, 0x8000 and 0xC000; bank n of a 128K is page FIRST_BANK_PAGE + n.
inline constexpr std::array<std::uint8_t, PAGES_48K> PAGES_OF_48K = {8, 4, 5};
inline constexpr std::uint8_t FIRST_BANK_PAGE = 3;
} // namespace z80

// Packs bytes with the .z80 run-length code: a run of five or more equal bytes, or of two or more 0xED bytes,
// becomes ED ED count byte; a single ED is followed by the next byte as it is, so the two never read as a run.
std::vector<std::uint8_t> pack_z80_block(std::span<const std::uint8_t> data);

// The snapshot as a version-3 .z80 file.
std::vector<std::uint8_t> encode_z80(const Snapshot& snap);

// The snapshot a .z80 file of any version holds: version 1 (48K, packed or not), versions 2 and 3 of a 48K, 128K
// or +2. Other machines (16K, SamRam, +2A, +3, Pentagon, Timex, ...) are refused by name; so is a file whose
// blocks run short or past its end.
common::Result<Snapshot> decode_z80(std::span<const std::uint8_t> bytes);

} // namespace snapshot
