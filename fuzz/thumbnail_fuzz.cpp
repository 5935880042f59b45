// Fuzz target: the thumbnail of an arbitrary image, as a file manager asks for it of every file of a folder. The
// size comes from the input's first byte. Besides the sanitizers it checks that the picture fits the size asked,
// with one side of exactly that size, and that it holds a pixel for each of its points.
#include "fuzz_support.h"

#include "inspect/thumbnail.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int asked = 1 + data[0] % 300;
    const fuzz::FuzzImage img = fuzz::make_image({data + 1, size - 1}, "thumbnail");
    image::OpenImage opened = fuzz::open_image(img);
    const inspect::Picture picture = inspect::thumbnail(*opened.source, asked);
    fuzz::require(picture.width >= 1 && picture.height >= 1, "a thumbnail has pixels");
    fuzz::require(std::max(picture.width, picture.height) == asked, "its longer side is the size asked");
    fuzz::require(picture.pixels.size() ==
                      static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height),
                  "a pixel for each point");
    return 0;
}
