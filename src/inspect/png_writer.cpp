#include "inspect/png_writer.h"

#include <png.h>

namespace inspect {

std::optional<std::vector<std::uint8_t>> encode_png(std::span<const Pixel> pixels)
{
    return encode_png(pixels, SCREEN_WIDTH, SCREEN_HEIGHT);
}

std::optional<std::vector<std::uint8_t>> encode_png(std::span<const Pixel> pixels, int width, int height)
{
    constexpr std::size_t RGB_BYTES = 3;
    constexpr int RED_SHIFT = 16;
    constexpr int GREEN_SHIFT = 8;
    constexpr Pixel BYTE_MASK = 0xFF;
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels.size() < count)
        return std::nullopt;
    std::vector<std::uint8_t> rgb;
    rgb.reserve(count * RGB_BYTES);
    for (std::size_t i = 0; i < count; ++i) {
        rgb.push_back(static_cast<std::uint8_t>((pixels[i] >> RED_SHIFT) & BYTE_MASK));
        rgb.push_back(static_cast<std::uint8_t>((pixels[i] >> GREEN_SHIFT) & BYTE_MASK));
        rgb.push_back(static_cast<std::uint8_t>(pixels[i] & BYTE_MASK));
    }
    png_image picture{};
    picture.version = PNG_IMAGE_VERSION;
    picture.width = static_cast<png_uint_32>(width);
    picture.height = static_cast<png_uint_32>(height);
    picture.format = PNG_FORMAT_RGB;
    // The first call only measures.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&picture, nullptr, &size, 0, rgb.data(), 0, nullptr) || size == 0)
        return std::nullopt;
    std::vector<std::uint8_t> file(size);
    if (!png_image_write_to_memory(&picture, file.data(), &size, 0, rgb.data(), 0, nullptr))
        return std::nullopt;
    file.resize(size);
    return file;
}

} // namespace inspect
