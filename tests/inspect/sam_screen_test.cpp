// SAM screen decoding checked against a second decoder written here from the SAM Coupe Technical Manual's
// description of the four modes, which works out each pixel on its own (position -> byte -> bits -> table entry
// -> line changes -> 7-bit colour -> RGB) and shares no code with the program's decoder. Built screens of every
// mode with random contents and line changes, and the real screens, must decode identically under both.
#include "inspect/sam_screen.h"

#include "image/directory.h"
#include "image/file_export.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <variant>
#include <vector>

using inspect::Pixel;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Each of red, green and blue: the channel's bit in the high group (bits 4-6) is worth 4, its bit in the low
// group (bits 0-2) 2, and the BRIGHT bit 3 is worth 1; the level 0-7 is scaled to 0-255.
std::uint32_t reference_colour(std::uint8_t v)
{
    auto channel = [v](int low_bit) {
        const int level = ((v >> (low_bit + 4)) & 1) * 4 + ((v >> low_bit) & 1) * 2 + ((v >> 3) & 1);
        return static_cast<std::uint32_t>(std::lround(level * 255.0 / 7.0));
    };
    return channel(1) << 16 | channel(2) << 8 | channel(0); // blue bit 0, red bit 1, green bit 2
}

int byte(const Bytes& d, int at)
{
    return d.at(static_cast<std::size_t>(at));
}

// The table entry a pixel shows, from the display memory alone.
int reference_entry(const Bytes& d, int mode, int x, int y)
{
    switch (mode) {
    case 0: { // MODE 1: Spectrum layout; a row's address is third, pixel line, character row
        const int address = (y / 64) * 2048 + (y % 8) * 256 + ((y / 8) % 8) * 32 + x / 8;
        const int attribute = byte(d, 6144 + (y / 8) * 32 + x / 8);
        const bool ink = (byte(d, address) >> (7 - x % 8)) & 1;
        return (ink ? attribute % 8 : (attribute / 8) % 8) + ((attribute & 64) ? 8 : 0);
    }
    case 1: { // MODE 2: linear bitmap, attributes 8,192 on, one per byte of bitmap
        const int attribute = byte(d, 8192 + y * 32 + x / 8);
        const bool ink = (byte(d, y * 32 + x / 8) >> (7 - x % 8)) & 1;
        return (ink ? attribute % 8 : (attribute / 8) % 8) + ((attribute & 64) ? 8 : 0);
    }
    case 2: { // MODE 3: four pixels a byte, the value's two bits reach the table swapped
        const int value = (byte(d, y * 128 + x / 4) >> (6 - 2 * (x % 4))) & 3;
        return ((value & 1) << 1) | (value >> 1);
    }
    default: // MODE 4: two pixels a byte
        return x % 2 == 0 ? byte(d, y * 128 + x / 2) >> 4 : byte(d, y * 128 + x / 2) & 15;
    }
}

std::uint32_t reference_pixel(const Bytes& d, int mode, int x, int y)
{
    const std::size_t palette = mode == 0 ? 6912 : mode == 1 ? 14336 : 24576;
    const int entry = reference_entry(d, mode, x, y);
    auto colour = static_cast<std::uint8_t>(byte(d, static_cast<int>(palette) + entry));
    for (std::size_t at = palette + 40; at + 4 <= d.size() && d[at] != 0xFF; at += 4)
        if (d[at] <= y && d[at + 1] % 16 == entry)
            colour = d[at + 2];
    return reference_colour(colour);
}

void expect_same_as_reference(const Bytes& data, int mode, const std::string& what)
{
    auto decoded = inspect::decode_sam_screen(data, mode);
    ASSERT_TRUE(std::holds_alternative<inspect::SamPicture>(decoded)) << what << ": " << std::get<std::string>(decoded);
    const auto& picture = std::get<inspect::SamPicture>(decoded);
    const int width = mode == 2 ? 512 : 256;
    ASSERT_EQ(picture.width, width) << what;
    ASSERT_EQ(picture.height, 192) << what;
    int wrong = 0;
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < width; ++x)
            if (picture.pixels[static_cast<std::size_t>(y * width + x)] != reference_pixel(data, mode, x, y) &&
                ++wrong <= 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y;
    EXPECT_EQ(wrong, 0) << what;
}

// A screen of `mode` with random display memory and tables, and line changes (line, entry, colour, FLASH colour).
Bytes random_screen(int mode, std::mt19937& random, const std::vector<std::array<std::uint8_t, 4>>& changes)
{
    Bytes data(inspect::sam_screen_bytes(mode) + 40);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(random());
    for (const auto& change : changes)
        data.insert(data.end(), change.begin(), change.end());
    data.push_back(0xFF);
    return data;
}

} // namespace

TEST(SamScreen, ColoursScaleEachChannelsThreeBits)
{
    EXPECT_EQ(inspect::sam_colour(0x00), 0x000000u);
    EXPECT_EQ(inspect::sam_colour(0x7F), 0xFFFFFFu);
    EXPECT_EQ(inspect::sam_colour(0xFF), 0xFFFFFFu); // bit 7 is not a colour bit
    EXPECT_EQ(inspect::sam_colour(0x78), 0xB6B6B6u); // white as the SAM starts: 4 + BRIGHT of 7 -> 182
    EXPECT_EQ(inspect::sam_colour(0x10), 0x000092u); // high blue alone: 4 of 7 -> 146
    EXPECT_EQ(inspect::sam_colour(0x02), 0x490000u); // low red alone: 2 of 7 -> 73
    EXPECT_EQ(inspect::sam_colour(0x44), 0x00DB00u); // both green bits: 6 of 7 -> 219
}

TEST(SamScreen, EveryModeDecodesAsTheReferenceDecoder)
{
    std::mt19937 random(20);
    for (int mode = 0; mode < inspect::SAM_MODES; ++mode) {
        expect_same_as_reference(random_screen(mode, random, {}), mode, "plain mode " + std::to_string(mode));
        // Changes from the top line, in the middle, twice to one entry, with an entry above 15, off the screen.
        expect_same_as_reference(random_screen(mode, random,
                                               {{0, 3, 0x22, 0},
                                                {100, 1, 0x7F, 0},
                                                {150, 1, 0x11, 0},
                                                {60, 0x13, 0x40, 0},
                                                {191, 15, 0x05, 0},
                                                {200, 2, 0x33, 0}}),
                                 mode, "line changes mode " + std::to_string(mode));
    }
}

TEST(SamScreen, RealScreensDecodeAsTheReferenceDecoder)
{
    struct Case
    {
        const char* image;
        int mode;
        std::size_t length;
        std::uint32_t first_pixel;
    };
    // Plain pictures: MODE 2 paper 7, MODE 4 colour 7 (both 0x78), MODE 1 ink 7 on paper 0 with nothing set.
    for (const Case c :
         {Case{"sam_screen_mode2.mgt", 1, 14377, 0xB6B6B6}, Case{"sam_screen_mode4.mgt", 3, 24617, 0xB6B6B6},
          Case{"sam_screen_flash.mgt", 0, 6953, 0x000000}}) {
        const auto disc = testing_support::open_source(testing_support::real_images_dir() / "sam" / c.image);
        EXPECT_EQ(image::read_entry_bytes(*disc, 0)[inspect::SAM_SCREEN_MODE_BYTE], c.mode) << c.image;
        auto exported = image::export_file(*disc, 0);
        ASSERT_TRUE(std::holds_alternative<image::ExportedFile>(exported)) << c.image;
        const Bytes& data = std::get<image::ExportedFile>(exported).bytes;
        EXPECT_EQ(data.size(), c.length) << c.image;
        expect_same_as_reference(data, c.mode, c.image);
        EXPECT_EQ(std::get<inspect::SamPicture>(inspect::decode_sam_screen(data, c.mode)).pixels[0], c.first_pixel);
    }
}

TEST(SamScreen, LengthsThatDoNotFitTheModeAreRefusedInWords)
{
    struct Case
    {
        std::size_t length;
        int mode;
        const char* message;
    };
    for (const Case c : {
             Case{6928, 0, ""}, // MODE 1 with only its first table: accepted
             Case{6927, 0, "6927 bytes do not fit a MODE 1 screen (6928 to 7721)"},
             Case{7722, 0, "7722 bytes do not fit a MODE 1 screen (6928 to 7721)"},
             Case{24617, 0, "24617 bytes do not fit a MODE 1 screen (6928 to 7721)"}, // a MODE 4 file
             Case{6953, 1, "6953 bytes do not fit a MODE 2 screen (14352 to 15145)"},
             Case{14377, 2, "14377 bytes do not fit a MODE 3 screen (24592 to 25385)"},
             Case{0, 3, "0 bytes do not fit a MODE 4 screen (24592 to 25385)"},
             Case{24617, 4, "screen mode byte 4 is not 0-3 (MODE 1-4)"},
         }) {
        // Exactly as long as the data, so that the sanitizer sees any read past it; a palette part without an end.
        const Bytes data(c.length, 0x11);
        auto decoded = inspect::decode_sam_screen(data, c.mode);
        if (*c.message == '\0')
            EXPECT_TRUE(std::holds_alternative<inspect::SamPicture>(decoded)) << c.length;
        else
            EXPECT_EQ(std::get<std::string>(decoded), c.message);
    }
}
