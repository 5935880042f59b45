// A disc's sectors laid out as a plain image file (.mgt/.dsk cylinder by cylinder, .img side after side): what an
// Extended DSK, a SAD or a packed image is converted to.
#pragma once

#include "image/geometry.h"
#include "image/sector_source.h"

#include <cstdint>
#include <vector>

namespace image {

struct PlainImage
{
    std::vector<std::uint8_t> bytes; // IMAGE_BYTES long
    int unread = 0;                  // sectors missing or unreadable, left as zeros
};

PlainImage plain_image(SectorSource& source, Layout layout);

} // namespace image
