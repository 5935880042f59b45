// Screens as PNG pictures, encoded by libpng's simplified writer into memory, so that the file can then be written
// whole through an atomic file. 8-bit RGB, no alpha.
#pragma once

#include "inspect/screen.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace inspect {

// The PNG file of a 256 x 192 screen; std::nullopt when libpng fails.
std::optional<std::vector<std::uint8_t>> encode_png(std::span<const Pixel> pixels);

// The PNG file of a picture of `width` x `height` pixels, rows top to bottom; std::nullopt when `pixels` holds fewer
// or libpng fails.
std::optional<std::vector<std::uint8_t>> encode_png(std::span<const Pixel> pixels, int width, int height);

} // namespace inspect
