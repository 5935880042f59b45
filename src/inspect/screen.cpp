#include "inspect/screen.h"

#include <algorithm>
#include <cassert>

namespace inspect {

Palette zx_palette()
{
    Palette palette{};
    std::transform(ZX_PALETTE_BGR.begin(), ZX_PALETTE_BGR.end(), palette.begin(), swap_red_blue);
    return palette;
}

namespace {

// Walks the screen's cells row by row, top to bottom: `draw(attribute, bitmap byte, out)` writes a cell's pixels
// and returns where the next cell's go.
template <typename Draw> void draw_screen(std::span<const std::uint8_t> screen, std::span<Pixel> pixels, Draw draw)
{
    assert(screen.size() >= SCREEN_BYTES && pixels.size() >= SCREEN_PIXELS);
    for (int row = 0; row < SCREEN_HEIGHT; ++row) {
        const auto bitmap = screen.subspan(bitmap_row_offset(row), ROW_BYTES);
        const auto attributes =
            screen.subspan(ATTRIBUTES_OFFSET + static_cast<std::size_t>(row) / CELL_PIXELS * ROW_BYTES, ROW_BYTES);
        Pixel* out = pixels.data() + static_cast<std::size_t>(row) * SCREEN_WIDTH;
        for (std::size_t column = 0; column < ROW_BYTES; ++column)
            out = draw(attributes[column], bitmap[column], out);
    }
}

} // namespace

PixelTable::PixelTable(const Palette& palette) : m_pixels(ENTRIES * CELL_PIXELS)
{
    Pixel* out = m_pixels.data();
    for (std::size_t attribute = 0; attribute < BYTE_VALUES; ++attribute) {
        for (std::size_t bitmap = 0; bitmap < BYTE_VALUES; ++bitmap)
            out = draw_cell(palette, static_cast<std::uint8_t>(attribute), static_cast<std::uint8_t>(bitmap), out);
    }
}

Pixel* draw_cell(const Palette& palette, std::uint8_t attribute, std::uint8_t bitmap, Pixel* out)
{
    constexpr unsigned LEFTMOST_BIT = 0x80;
    const std::size_t bright = (attribute & BRIGHT_BIT) ? BRIGHT_COLOURS : 0;
    const Pixel ink = palette[(attribute & INK_MASK) + bright];
    const Pixel paper = palette[((attribute >> PAPER_SHIFT) & INK_MASK) + bright];
    for (std::size_t k = 0; k < CELL_PIXELS; ++k)
        *out++ = (bitmap & (LEFTMOST_BIT >> k)) ? ink : paper;
    return out;
}

PixelTable build_pixel_table()
{
    return PixelTable(zx_palette());
}

void decode_screen(const PixelTable& table, std::span<const std::uint8_t> screen, std::span<Pixel> pixels)
{
    draw_screen(screen, pixels, [&table](std::uint8_t attribute, std::uint8_t bitmap, Pixel* out) {
        const auto cell = table.entry(attribute, bitmap);
        return std::copy(cell.begin(), cell.end(), out);
    });
}

void decode_screen(const Palette& palette, std::span<const std::uint8_t> screen, std::span<Pixel> pixels)
{
    draw_screen(screen, pixels, [&palette](std::uint8_t attribute, std::uint8_t bitmap, Pixel* out) {
        return draw_cell(palette, attribute, bitmap, out);
    });
}

} // namespace inspect
