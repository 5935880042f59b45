// SAM Coupe screens (SAM Screen files, directory type 20) as pixels. The file's data after its disc header is the
// display memory of its mode, then a palette part: the 16-entry colour look-up table (CLUT), 4 bytes, the second
// table that FLASH alternates with, 4 more bytes, any number of 4-byte line-interrupt records (line, CLUT entry,
// colour, FLASH colour) and 0xFF. The mode is not in the data: the directory entry keeps it (0-3 for MODE 1-4).
//
//   MODE 1  6,912 bytes: the Spectrum's layout, 8x8 attribute cells
//   MODE 2  14,336 bytes: 6,144 bytes of linear bitmap (32 a line), at 8,192 one attribute byte per 8x1 cell
//   MODE 3  24,576 bytes: 512 x 192, 2 bits a pixel, leftmost pixel in the top bits
//   MODE 4  24,576 bytes: 256 x 192, 4 bits a pixel, leftmost pixel in the high nibble
//
// An attribute's ink is CLUT entry (bits 0-2) + 8 with BRIGHT (bit 6), its paper bits 3-5 + 8 with BRIGHT; FLASH
// is ignored. MODE 3 pixel values 0-3 show CLUT entries 0, 2, 1, 3 (the hardware swaps the two bits). A colour
// value is 7 bits, G1 R1 B1 BRIGHT G0 R0 B0 from bit 6 down; each of red, green and blue is its own two bits and
// the shared BRIGHT bit as a 3-bit level, scaled to 0-255. A line-interrupt record sets its CLUT entry from its
// line down.
#pragma once

#include "inspect/screen.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace inspect {

// The entry byte holding a SAM screen's mode (0-3 for MODE 1-4).
inline constexpr std::size_t SAM_SCREEN_MODE_BYTE = 221;
inline constexpr int SAM_MODES = 4;
inline constexpr int SAM_WIDE_WIDTH = 512; // MODE 3
inline constexpr std::size_t SAM_CLUT_SIZE = 16;
// The palette part without line interrupts: two tables of 16 and their 4 bytes each.
inline constexpr std::size_t SAM_PALETTE_BYTES = 40;
inline constexpr std::size_t SAM_LINE_RECORD = 4;
inline constexpr std::uint8_t SAM_PALETTE_END = 0xFF;

struct SamPicture
{
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels; // width * height, rows top to bottom
};

// The display memory size of a mode 0-3 (MODE 1-4).
std::size_t sam_screen_bytes(int mode);

// A 7-bit SAM colour value (bit 7 ignored) as 0x00RRGGBB.
Pixel sam_colour(std::uint8_t value);

// The picture of a SAM screen file's data in mode `mode` (the entry's byte, 0-3). Fails, in words, for a mode byte
// above 3, or a length that does not fit the mode: shorter than its display memory and table, or longer than the
// palette part with a record for every line.
std::variant<SamPicture, std::string> decode_sam_screen(std::span<const std::uint8_t> data, int mode);

} // namespace inspect
