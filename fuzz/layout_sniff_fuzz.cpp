// Fuzz target: the choice of a raw image's layout by its content. The input's first 512 bytes become the first
// directory sector, the next 512 the sector at track 4 side 0 sector 1 in the interleaved layout, the next 512 the
// same sector in the sequential layout; the rest of the image is zeros. Besides running under the sanitizers it
// checks that the choice is stable and that a layout is chosen only when the directory names a data sector.
#include "fuzz_support.h"

#include "image/directory.h"
#include "image/layout_sniff.h"
#include "image/sector_source.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    std::vector<std::uint8_t> disc(static_cast<std::size_t>(image::IMAGE_BYTES));
    const std::size_t places[] = {0, static_cast<std::size_t>(image::sector_offset(image::Layout::Interleaved, 4, 0)),
                                  static_cast<std::size_t>(image::sector_offset(image::Layout::Sequential, 4, 0))};
    for (std::size_t part = 0; part < 3 && part * image::SECTOR_SIZE < size; ++part) {
        const std::size_t from = part * image::SECTOR_SIZE;
        const std::size_t count = std::min(image::SECTOR_SIZE, size - from);
        std::copy_n(input + from, count, disc.begin() + static_cast<std::ptrdiff_t>(places[part]));
    }
    image::MemoryBytes bytes(disc);
    const auto first = image::layout_by_content(bytes);
    fuzz::require(first == image::layout_by_content(bytes), "the choice is the same each time");
    if (first) {
        const bool names_data = image::decode_directory_entry(disc).is_used() ||
                                image::decode_directory_entry(std::span(disc).subspan(image::entry::SIZE)).is_used();
        fuzz::require(names_data, "a layout is chosen only by a used entry");
    }
    return 0;
}
