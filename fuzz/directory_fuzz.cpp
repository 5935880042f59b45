// Fuzz target: the directory listing of an arbitrary image in either layout and any size. Besides the sanitizers it
// checks what every listing promises: the image opens, rows come in slot order, lengths and starts are not negative.
#include "fuzz_support.h"

#include "image/directory.h"
#include "inspect/directory_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "directory");
    const image::Catalogue catalogue = image::read_directory(*fuzz::open_image(img).source);
    int previous = -1;
    for (const image::CatalogueRow& row : catalogue) {
        fuzz::require(row.slot > previous && row.slot < image::MAX_DIRECTORY_SLOTS, "rows follow the slots in order");
        fuzz::require(row.length >= 0 && row.start >= 0, "lengths and starts are not negative");
        // The column texts are made for the sanitizers' sake; their values are the unit tests' business.
        static_cast<void>(image::cell_texts(row));
        previous = row.slot;
    }
    static_cast<void>(inspect::foreign_directory_reason(catalogue));
    return 0;
}
