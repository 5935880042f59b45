// Screen decoding: palette, pattern table and the display order of the bitmap rows.
#include "inspect/screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using inspect::Pixel;

namespace {

constexpr Pixel BLACK = 0x040204; // (4, 2, 4), shared by black and bright black
constexpr Pixel WHITE = 0xCCC6CC; // (204, 198, 204)
constexpr Pixel BRIGHT_WHITE = 0xFCFAFC;
constexpr Pixel BLUE = 0x040284; // (4, 2, 132)

const inspect::PixelTable& table()
{
    static const inspect::PixelTable built = inspect::build_pixel_table();
    return built;
}

std::vector<Pixel> decode(const std::vector<std::uint8_t>& screen)
{
    std::vector<Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(table(), screen, pixels);
    return pixels;
}

} // namespace

TEST(ScreenPalette, RedAndBlueAreSwappedIntoRgbOrder)
{
    EXPECT_EQ(inspect::swap_red_blue(0x00123456), 0x00563412u);
    const inspect::Palette palette = inspect::zx_palette();
    EXPECT_EQ(palette[0], BLACK);
    EXPECT_EQ(palette[8], BLACK);
    EXPECT_EQ(palette[1], BLUE);
    EXPECT_EQ(palette[2], 0xDC0204u);  // red (220, 2, 4)
    EXPECT_EQ(palette[13], 0x04FAFCu); // bright cyan (4, 250, 252)
    EXPECT_EQ(palette[14], 0xFCFE04u); // bright yellow (252, 254, 4)
}

TEST(ScreenPixelTable, InkOnPaperLeftmostBitFirstAndFlashIgnored)
{
    const auto paper_white = table().entry(0x38, 0x80);
    EXPECT_EQ(std::vector<Pixel>(paper_white.begin(), paper_white.end()),
              (std::vector<Pixel>{BLACK, WHITE, WHITE, WHITE, WHITE, WHITE, WHITE, WHITE}));
    const auto bright = table().entry(0x47, 0xF0);
    EXPECT_EQ(std::vector<Pixel>(bright.begin(), bright.end()),
              (std::vector<Pixel>{BRIGHT_WHITE, BRIGHT_WHITE, BRIGHT_WHITE, BRIGHT_WHITE, BLACK, BLACK, BLACK, BLACK}));
    EXPECT_EQ(table().entry(0x78, 0x00)[0], BRIGHT_WHITE); // bright applies to the paper too
    for (int bitmap = 0; bitmap < 256; ++bitmap) {
        const auto b = static_cast<std::uint8_t>(bitmap);
        EXPECT_TRUE(std::ranges::equal(table().entry(0xB8, b), table().entry(0x38, b))) << bitmap;
    }
}

TEST(ScreenDecode, BitmapRowsComeFromDisplayMemoryOrder)
{
    for (auto [row, offset] : {std::pair{1, 256}, {8, 32}, {64, 2048}}) {
        std::vector<std::uint8_t> screen(inspect::SCREEN_BYTES, 0x38);
        std::fill_n(screen.begin(), inspect::BITMAP_BYTES, std::uint8_t{0});
        std::fill_n(screen.begin() + offset, 32, std::uint8_t{0xFF});
        const auto pixels = decode(screen);
        for (int y = 0; y < inspect::SCREEN_HEIGHT; ++y) {
            const auto line = std::span(pixels).subspan(static_cast<std::size_t>(y) * 256, 256);
            const Pixel expected = y == row ? BLACK : WHITE;
            EXPECT_TRUE(std::ranges::all_of(line, [&](Pixel p) { return p == expected; })) << row << " " << y;
        }
    }
}

TEST(ScreenDecode, EachAttributeColoursItsOwnCell)
{
    std::vector<std::uint8_t> screen(inspect::SCREEN_BYTES, 0);
    screen[6144 + 5 * 32 + 7] = 0x08; // character row 5, column 7: paper blue
    const auto pixels = decode(screen);
    for (int y = 39; y <= 48; ++y) {
        for (int x = 55; x <= 64; ++x) {
            const bool inside = y >= 40 && y < 48 && x >= 56 && x < 64;
            EXPECT_EQ(pixels[static_cast<std::size_t>(y * 256 + x)], inside ? BLUE : BLACK) << x << "," << y;
        }
    }
}
