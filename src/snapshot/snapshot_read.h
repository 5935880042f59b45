// Reading the emulator snapshot files the program is given to put on a disc: .z80 (versions 1, 2 and 3, packed
// or not) and .sna (48K and 128K), as their makers document them (the .z80 and .sna pages of the World of
// Spectrum and Fuse's libspectrum). Only the machines the +D serves are read: the 48K Spectrum and the 128K
// (the Spectrum 128 and the +2, which page alike); other machines and damaged files are refused with the reason.
// The bytes are untrusted: every length and page number is checked before it is used.
#pragma once

#include "snapshot/snapshot.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace snapshot {

// The largest snapshot file read: a 128K .z80 with every bank stored unpacked, and room to spare.
inline constexpr std::size_t MAX_SNAPSHOT_FILE_BYTES = 256 * 1024;

std::variant<Snapshot, std::string> decode_z80(std::span<const std::uint8_t> bytes);
std::variant<Snapshot, std::string> decode_sna(std::span<const std::uint8_t> bytes);

// The reader of a file's format (snapshot.h: format_from_path).
std::variant<Snapshot, std::string> decode_file(std::span<const std::uint8_t> bytes, FileFormat format);

} // namespace snapshot
