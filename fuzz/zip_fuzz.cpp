// Fuzz target: an arbitrary zip archive, listed and each image entry read, whole and as far as a directory. Besides
// the sanitizers it checks what the reader promises: offered names are image names, an entry reads as exactly its
// declared size or is refused with a reason, nothing exceeds the cap, and the part read alone is the same bytes.
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
        const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&read);
        if (bytes != nullptr) {
            fuzz::require(entry.problem.empty(), "an entry with a problem is not read");
            fuzz::require(bytes->size() == entry.size && bytes->size() <= image::MAX_CONTAINER_BYTES,
                          "an entry reads as its declared size, under the cap");
        }
        auto part = archive->open_entry(entry);
        if (auto* entry_bytes = std::get_if<std::unique_ptr<image::ZipEntryBytes>>(&part)) {
            std::vector<std::uint8_t> head(36 * 1024);
            const std::size_t got = (*entry_bytes)->read_at(0, head);
            fuzz::require(got <= entry.size, "a part read is within the declared size");
            fuzz::require(bytes == nullptr ||
                              std::equal(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(got), bytes->begin()),
                          "a part read holds the bytes of the whole");
        }
    }
    return 0;
}
