// ZX Spectrum screens as pixels. A screen is 6,912 bytes: 6,144 bytes of bitmap in display-memory order (the
// two low 3-bit fields of a row number swapped), then 768 attribute bytes, one per 8x8 cell. Decoding goes through
// a pixel pattern table built once, which holds the 8 pixels of every (attribute, bitmap byte) pair, so a screen
// costs 6,144 lookups and no per-pixel work. The bitmap rows are read where they lie, so the screen bytes are
// never reordered. Pixels are 0x00RRGGBB; the flash bit is ignored.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace inspect {

using Pixel = std::uint32_t; // 0x00RRGGBB

inline constexpr int SCREEN_WIDTH = 256;
inline constexpr int SCREEN_HEIGHT = 192;
inline constexpr std::size_t SCREEN_PIXELS = static_cast<std::size_t>(SCREEN_WIDTH) * SCREEN_HEIGHT;
inline constexpr std::size_t CELL_PIXELS = 8;
inline constexpr std::size_t ROW_BYTES = SCREEN_WIDTH / CELL_PIXELS;
inline constexpr std::size_t BITMAP_BYTES = ROW_BYTES * SCREEN_HEIGHT;
inline constexpr std::size_t ATTRIBUTES_OFFSET = BITMAP_BYTES;
inline constexpr std::size_t ATTRIBUTE_BYTES = ROW_BYTES * (SCREEN_HEIGHT / CELL_PIXELS);
inline constexpr std::size_t SCREEN_BYTES = BITMAP_BYTES + ATTRIBUTE_BYTES;

// Attribute byte: bits 0-2 ink, bits 3-5 paper, bit 6 bright, bit 7 flash.
inline constexpr std::uint8_t INK_MASK = 0x07;
inline constexpr int PAPER_SHIFT = 3;
inline constexpr std::uint8_t BRIGHT_BIT = 0x40;
inline constexpr std::size_t BRIGHT_COLOURS = 8;

inline constexpr std::size_t BYTE_VALUES = 256;
inline constexpr std::size_t PALETTE_SIZE = 16;
using Palette = std::array<Pixel, PALETTE_SIZE>;

// The 16 colours (8 normal, then 8 bright) as the program keeps them: 0x00BBGGRR, red in the lowest byte.
inline constexpr std::array<std::uint32_t, PALETTE_SIZE> ZX_PALETTE_BGR = {
    0x040204, 0x840204, 0x0402DC, 0xB402E4, 0x04D204, 0xD4D204, 0x04CECC, 0xCCC6CC,
    0x040204, 0xAC0204, 0x0402EC, 0xDC02FC, 0x04EE04, 0xFCFA04, 0x04FEFC, 0xFCFAFC,
};

// The colour with its red and blue bytes swapped: 0x00BBGGRR becomes 0x00RRGGBB and back.
constexpr Pixel swap_red_blue(std::uint32_t colour)
{
    constexpr std::uint32_t GREEN_AND_TOP = 0xFF00FF00;
    constexpr std::uint32_t LOW_BYTE = 0xFF;
    constexpr int RED_BLUE_DISTANCE = 16;
    return (colour & GREEN_AND_TOP) | ((colour & LOW_BYTE) << RED_BLUE_DISTANCE) |
           ((colour >> RED_BLUE_DISTANCE) & LOW_BYTE);
}

// The ZX palette converted to 0x00RRGGBB.
Palette zx_palette();

// Offset in the bitmap of the 32 bytes shown as display row `row` (0-191). A row number is made of a third (0-2), a
// character row (0-7) and a pixel line (0-7); display memory orders them third, pixel line, character row.
constexpr std::size_t bitmap_row_offset(int row)
{
    constexpr std::size_t ROWS_PER_THIRD = CELL_PIXELS * CELL_PIXELS;
    const auto r = static_cast<std::size_t>(row);
    const std::size_t third = r / ROWS_PER_THIRD;
    const std::size_t character_row = r / CELL_PIXELS % CELL_PIXELS;
    const std::size_t pixel_line = r % CELL_PIXELS;
    return ((third * CELL_PIXELS + pixel_line) * CELL_PIXELS + character_row) * ROW_BYTES;
}

// Writes the 8 pixels of a cell, leftmost first (bit 7 of `bitmap`): ink where a bit is set, paper where not, both
// bright with attribute bit 6. Returns where the next cell's pixels go.
Pixel* draw_cell(const Palette& palette, std::uint8_t attribute, std::uint8_t bitmap, Pixel* out);

// The 8 pixels, leftmost first, of every (attribute, bitmap byte) pair: 65,536 entries, 2,097,152 bytes.
class PixelTable
{
public:
    static constexpr std::size_t ENTRIES = BYTE_VALUES * BYTE_VALUES;

    // Fills every entry: ink where a bitmap bit is set, paper where not, both bright with attribute bit 6.
    explicit PixelTable(const Palette& palette);

    // The 8 pixels of a cell with this attribute and bitmap byte; bit 7 of the byte is the leftmost pixel.
    std::span<const Pixel, CELL_PIXELS> entry(std::uint8_t attribute, std::uint8_t bitmap) const
    {
        const std::size_t at = (attribute * BYTE_VALUES + bitmap) * CELL_PIXELS;
        return std::span<const Pixel, CELL_PIXELS>(m_pixels.data() + at, CELL_PIXELS);
    }

private:
    std::vector<Pixel> m_pixels;
};

// The table for the ZX palette; costly to build, so built once at start-up and kept for the whole run.
PixelTable build_pixel_table();

// Decodes the first 6,912 bytes of `screen` into `pixels` (256 x 192, rows top to bottom). `screen` must hold at
// least SCREEN_BYTES bytes and `pixels` at least SCREEN_PIXELS entries.
void decode_screen(const PixelTable& table, std::span<const std::uint8_t> screen, std::span<Pixel> pixels);

// The same decode without the table, working out each cell's two colours: for a single screen this costs less than
// building the table (the command line decodes one screen per run).
void decode_screen(const Palette& palette, std::span<const std::uint8_t> screen, std::span<Pixel> pixels);

} // namespace inspect
