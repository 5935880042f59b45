// Snapshots that the +D and DISCiPLE save when their button is pressed: directory types 5 (48K) and 9 (128K).
// The file has no disc header of its own. A 48K file is the 49,152 bytes of RAM from 0x4000; a 128K file is the
// value of port 0x7FFD (as the interface found it in the BANKM system variable) and then RAM banks 0 to 7.
// The registers lie in the directory entry (bytes 220-241: IY, IX, DE', BC', HL', AF', DE, BC, HL, a spare byte,
// I and SP), apart from four the interface pushed onto the program's own stack before it saved the memory: from
// SP upwards, the flags of an LD A,I (P/V holds IFF2) with R, then AF, then the PC the NMI interrupted.
// Checked against the two snapshot discs kept with the tests: both stacks hold exactly this.
#pragma once

#include "image/directory.h"
#include "image/disc_writer.h"
#include "image/file_types.h"
#include "image/sector_source.h"
#include "snapshot/snapshot.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace snapshot {

// The registers the entry does not hold (PairLayout::PlusDEntry and image::entry::SNAP_I say where it holds the
// others), and the file's layout.
namespace plusd {
// What the interface pushed, as offsets from the stored SP.
inline constexpr std::uint16_t STACK_FLAGS = 0; // P/V (bit 2) holds IFF2
inline constexpr std::uint16_t STACK_R = 1;
inline constexpr std::uint16_t STACK_AF = 2;
inline constexpr std::uint16_t STACK_PC = 4;
inline constexpr std::uint16_t STACK_BYTES = 6;
inline constexpr std::uint8_t IFF2_FLAG = 0x04;

// A 128K file: the paging byte, then the banks.
inline constexpr std::size_t FILE_PAGING = 0;
inline constexpr std::size_t FILE_BANKS = 1;

inline constexpr int TYPE_48K = image::TYPE_ZX_SNAP_48K;
inline constexpr int TYPE_128K = image::TYPE_ZX_SNAP_128K;
inline constexpr std::size_t FILE_BYTES_48K = RAM_BYTES_48K;                // 49,152: 97 sectors
inline constexpr std::size_t FILE_BYTES_128K = FILE_BANKS + RAM_BYTES_128K; // 131,073: 258 sectors
} // namespace plusd

// Whether a directory type code (bits 0-5 of the entry's first byte) is a +D snapshot.
bool is_plusd_snapshot_type(int type_code);

// The bytes a snapshot file of that type holds; 0 for other types.
std::size_t plusd_file_bytes(int type_code);

// Decodes a snapshot from its directory entry (at least 256 bytes) and the file's bytes as its sector chain
// holds them (510 per sector, the links taken out). The chain may end part-way into its last sector, or carry
// the rest of that sector, but no more. Returns the snapshot, ready to resume (SP back where the program had it
// before the interface pushed its registers), or why the entry and bytes make none: not a snapshot type, a file
// shorter or longer than a snapshot, or a stack pointer whose pushed registers cannot be read.
common::Result<Snapshot> decode_plusd_snapshot(std::span<const std::uint8_t> entry, std::span<const std::uint8_t> file);

// Reads and decodes the snapshot in a directory slot (0-79) of a disc: the entry, and the file along its chain as
// the links lead, whatever the entry's sector count says (counts are often wrong on real discs). The walk ends at
// the chain's end or one sector past what a snapshot fills, so a longer chain shows as such without being read
// further. Returns what decode_plusd_snapshot returns.
common::Result<Snapshot> read_plusd_snapshot(image::SectorSource& disc, int slot);

// The +D snapshot file of a machine state, the reverse of decode_plusd_snapshot: the entry (type 5 or 9, `name`
// as raw bytes cut to 10 and padded with spaces, the registers in bytes 220-241) and the file's bytes, with the
// four registers the interface pushes written onto the program's stack below its SP, so that decoding the file
// gives back the same state. Refused, with the reason, for a state the +D could not have saved (the pushed
// registers would land in ROM, a 128K state the interface does not keep).
common::Result<image::DiscFile> encode_plusd_snapshot(const Snapshot& snap, std::string_view name);

} // namespace snapshot
