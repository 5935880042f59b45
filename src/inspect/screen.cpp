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

PixelTable::PixelTable(const Palette& palette) : m_pixels(ENTRIES * CELL_PIXELS)
{
    constexpr std::uint8_t LEFTMOST_BIT = 0x80;
    for (std::size_t attribute = 0; attribute < BYTE_VALUES; ++attribute) {
        const std::size_t bright = (attribute & BRIGHT_BIT) ? BRIGHT_COLOURS : 0;
        const Pixel ink = palette[(attribute & INK_MASK) + bright];
        const Pixel paper = palette[((attribute >> PAPER_SHIFT) & INK_MASK) + bright];
        for (std::size_t bitmap = 0; bitmap < BYTE_VALUES; ++bitmap) {
            const std::size_t at = (attribute * BYTE_VALUES + bitmap) * CELL_PIXELS;
            for (std::size_t k = 0; k < CELL_PIXELS; ++k)
                m_pixels[at + k] = (bitmap & (LEFTMOST_BIT >> k)) ? ink : paper;
        }
    }
}

PixelTable build_pixel_table()
{
    return PixelTable(zx_palette());
}

void decode_screen(const PixelTable& table, std::span<const std::uint8_t> screen, std::span<Pixel> pixels)
{
    assert(screen.size() >= SCREEN_BYTES && pixels.size() >= SCREEN_PIXELS);
    for (int row = 0; row < SCREEN_HEIGHT; ++row) {
        const auto bitmap = screen.subspan(bitmap_row_offset(row), ROW_BYTES);
        const auto attributes =
            screen.subspan(ATTRIBUTES_OFFSET + static_cast<std::size_t>(row) / CELL_PIXELS * ROW_BYTES, ROW_BYTES);
        Pixel* out = pixels.data() + static_cast<std::size_t>(row) * SCREEN_WIDTH;
        for (std::size_t column = 0; column < ROW_BYTES; ++column) {
            const auto cell = table.entry(attributes[column], bitmap[column]);
            out = std::copy(cell.begin(), cell.end(), out);
        }
    }
}

void decode_screen(const Palette& palette, std::span<const std::uint8_t> screen, std::span<Pixel> pixels)
{
    assert(screen.size() >= SCREEN_BYTES && pixels.size() >= SCREEN_PIXELS);
    constexpr unsigned LEFTMOST_BIT = 0x80;
    for (int row = 0; row < SCREEN_HEIGHT; ++row) {
        const auto bitmap = screen.subspan(bitmap_row_offset(row), ROW_BYTES);
        const auto attributes =
            screen.subspan(ATTRIBUTES_OFFSET + static_cast<std::size_t>(row) / CELL_PIXELS * ROW_BYTES, ROW_BYTES);
        Pixel* out = pixels.data() + static_cast<std::size_t>(row) * SCREEN_WIDTH;
        for (std::size_t column = 0; column < ROW_BYTES; ++column) {
            const std::uint8_t attribute = attributes[column];
            const std::size_t bright = (attribute & BRIGHT_BIT) ? BRIGHT_COLOURS : 0;
            const Pixel ink = palette[(attribute & INK_MASK) + bright];
            const Pixel paper = palette[((attribute >> PAPER_SHIFT) & INK_MASK) + bright];
            const unsigned bits = bitmap[column];
            for (std::size_t k = 0; k < CELL_PIXELS; ++k)
                *out++ = (bits & (LEFTMOST_BIT >> k)) ? ink : paper;
        }
    }
}

} // namespace inspect
