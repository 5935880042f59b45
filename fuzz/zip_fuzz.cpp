// Fuzz target: an arbitrary zip archive, listed and each image entry read. Besides the sanitizers it checks what
// the reader promises: offered names are image names, an entry reads as exactly its declared size or is refused
// with a reason, and nothing exceeds the cap.
#include "fuzz_support.h"

#include "image/zip_archive.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto opened = image::open_zip(std::vector<std::uint8_t>(data, data + size));
    auto* archive = std::get_if<image::ZipArchive>(&opened);
    if (archive == nullptr)
        return 0;
    fuzz::require(archive->images().size() <= image::MAX_ZIP_ENTRIES, "entries stay under the limit");
    for (const image::ZipEntry& entry : archive->images()) {
        fuzz::require(image::is_image_name(entry.name), "only image names are offered");
        const auto named = archive->find(entry.name);
        fuzz::require(std::find(named.begin(), named.end(), &entry) != named.end(), "an offered name is found");
        const auto read = archive->read(entry);
        if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&read)) {
            fuzz::require(entry.problem.empty(), "an entry with a problem is not read");
            fuzz::require(bytes->size() == entry.size && bytes->size() <= image::MAX_CONTAINER_BYTES,
                          "an entry reads as its declared size, under the cap");
        }
    }
    return 0;
}
