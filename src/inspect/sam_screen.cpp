#include "inspect/sam_screen.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace inspect {
namespace {

constexpr std::array<std::size_t, SAM_MODES> SCREEN_BYTES_OF = {6912, 14336, 24576, 24576};
constexpr int MODE_1 = 0, MODE_2 = 1, MODE_3 = 2;
constexpr std::size_t MODE_2_ATTRIBUTES = 8192;
constexpr std::size_t LINEAR_ROW_BYTES = 128; // MODES 3 and 4

namespace record {
constexpr std::size_t LINE = 0;
constexpr std::size_t ENTRY = 1;
constexpr std::size_t COLOUR = 2;
} // namespace record

using Clut = std::array<std::uint8_t, SAM_CLUT_SIZE>;
// MODES 1 and 2 draw their cells as the Spectrum does, through the 16 colours of the line's table.
static_assert(SAM_CLUT_SIZE == PALETTE_SIZE);

// A channel's level: its high bit, its low bit, then BRIGHT.
int level(std::uint8_t value, int low_bit)
{
    constexpr int HIGH_DISTANCE = 4;
    constexpr int BRIGHT_BIT = 3;
    return (((value >> (low_bit + HIGH_DISTANCE)) & 1) << 2) | (((value >> low_bit) & 1) << 1) |
           ((value >> BRIGHT_BIT) & 1);
}

Pixel scaled(int level)
{
    constexpr int COLOUR_LEVELS = 7;
    constexpr int CHANNEL_MAX = 255;
    return static_cast<Pixel>(std::lround(static_cast<double>(level) * CHANNEL_MAX / COLOUR_LEVELS));
}

// The table in force on each line: the first table, changed by the records from their lines down.
std::vector<Clut> line_tables(std::span<const std::uint8_t> palette)
{
    Clut clut{};
    std::copy_n(palette.begin(), SAM_CLUT_SIZE, clut.begin());
    std::vector<Clut> tables(SCREEN_HEIGHT, clut);
    for (std::size_t at = SAM_PALETTE_BYTES; at + SAM_LINE_RECORD <= palette.size(); at += SAM_LINE_RECORD) {
        const auto r = palette.subspan(at, SAM_LINE_RECORD);
        if (r[record::LINE] == SAM_PALETTE_END)
            break;
        for (std::size_t row = r[record::LINE]; row < tables.size(); ++row)
            tables[row][r[record::ENTRY] % SAM_CLUT_SIZE] = r[record::COLOUR];
    }
    return tables;
}

// Draws display row `row` of a screen in `mode` with the row's colours; returns where the next row's pixels go.
Pixel* draw_row(std::span<const std::uint8_t> data, int mode, std::size_t row, const Palette& colours, Pixel* out)
{
    if (mode == MODE_1 || mode == MODE_2) {
        const bool spectrum = mode == MODE_1;
        const auto bitmap =
            data.subspan(spectrum ? bitmap_row_offset(static_cast<int>(row)) : row * ROW_BYTES, ROW_BYTES);
        const auto attributes = data.subspan(spectrum ? ATTRIBUTES_OFFSET + row / CELL_PIXELS * ROW_BYTES
                                                      : MODE_2_ATTRIBUTES + row * ROW_BYTES,
                                             ROW_BYTES);
        for (std::size_t column = 0; column < ROW_BYTES; ++column)
            out = draw_cell(colours, attributes[column], bitmap[column], out);
        return out;
    }
    const auto bytes = data.subspan(row * LINEAR_ROW_BYTES, LINEAR_ROW_BYTES);
    if (mode == MODE_3) {
        // Four pixels a byte, the leftmost in the top two bits, whose value bits are swapped: 1 shows entry 2, 2
        // shows entry 1.
        constexpr std::array<std::size_t, 4> ENTRY_OF = {0, 2, 1, 3};
        constexpr int PIXEL_BITS = 2;
        constexpr int FIRST_SHIFT = 6;
        constexpr unsigned PIXEL_MASK = 0x03;
        for (const std::uint8_t b : bytes)
            for (int shift = FIRST_SHIFT; shift >= 0; shift -= PIXEL_BITS)
                *out++ = colours[ENTRY_OF[(b >> shift) & PIXEL_MASK]];
        return out;
    }
    // MODE 4: two pixels a byte, the leftmost in the high nibble.
    constexpr int NIBBLE_BITS = 4;
    constexpr std::uint8_t LOW_NIBBLE = 0x0F;
    for (const std::uint8_t b : bytes) {
        *out++ = colours[b >> NIBBLE_BITS];
        *out++ = colours[b & LOW_NIBBLE];
    }
    return out;
}

} // namespace

std::size_t sam_screen_bytes(int mode)
{
    return SCREEN_BYTES_OF[static_cast<std::size_t>(mode)];
}

Pixel sam_colour(std::uint8_t value)
{
    constexpr int BLUE_BIT = 0, RED_BIT = 1, GREEN_BIT = 2;
    constexpr int RED_SHIFT = 16, GREEN_SHIFT = 8;
    return (scaled(level(value, RED_BIT)) << RED_SHIFT) | (scaled(level(value, GREEN_BIT)) << GREEN_SHIFT) |
           scaled(level(value, BLUE_BIT));
}

std::variant<SamPicture, std::string> decode_sam_screen(std::span<const std::uint8_t> data, int mode)
{
    if (mode < 0 || mode >= SAM_MODES)
        return "screen mode byte " + std::to_string(mode) + " is not 0-3 (MODE 1-4)";
    const std::size_t screen = sam_screen_bytes(mode);
    const std::size_t least = screen + SAM_CLUT_SIZE;
    const std::size_t most = screen + SAM_PALETTE_BYTES + SAM_LINE_RECORD * SCREEN_HEIGHT + 1;
    if (data.size() < least || data.size() > most)
        return std::to_string(data.size()) + " bytes do not fit a MODE " + std::to_string(mode + 1) + " screen (" +
               std::to_string(least) + " to " + std::to_string(most) + ")";

    const std::vector<Clut> tables = line_tables(data.subspan(screen));
    SamPicture picture;
    picture.width = mode == MODE_3 ? SAM_WIDE_WIDTH : SCREEN_WIDTH;
    picture.height = SCREEN_HEIGHT;
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * SCREEN_HEIGHT);
    Pixel* out = picture.pixels.data();
    for (std::size_t row = 0; row < SCREEN_HEIGHT; ++row) {
        Palette colours{};
        for (std::size_t k = 0; k < SAM_CLUT_SIZE; ++k)
            colours[k] = sam_colour(tables[row][k]);
        out = draw_row(data, mode, row, colours, out);
    }
    return picture;
}

} // namespace inspect
