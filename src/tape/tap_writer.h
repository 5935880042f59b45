// The blocks of a ZX Spectrum .tap file. A tape file is nothing but blocks, each a 16-bit length (low byte
// first) followed by that many bytes: a flag byte, the contents and an XOR checksum over flag and contents.
// Every converted file becomes a header block (flag 0x00, the 17-byte ZX header) and a data block (flag 0xFF).
#pragma once

#include "image/extract.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tape {

inline constexpr std::uint8_t DATA_FLAG = 0xFF;

// XOR of all bytes; 0 for none.
std::uint8_t xor_checksum(std::span<const std::uint8_t> bytes);

// Appends the header block of `header` and the data block of `data` to `out`. The data block's length word
// keeps only the low 16 bits of the data length + 2, so data of 65,534 or 65,535 bytes gets the word 0 or 1.
void write_tap_blocks(std::vector<std::uint8_t>& out, const image::TapeHeader& header,
                      std::span<const std::uint8_t> data);

} // namespace tape
