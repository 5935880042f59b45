// Fuzz target: export of every directory slot of an arbitrary image. Besides the sanitizers it checks that an
// exported file has exactly the length the catalogue lists for it, whatever its chain does, and that a slot the
// catalogue does not list gives no file.
#include "fuzz_support.h"

#include "image/directory.h"
#include "image/file_export.h"

#include <array>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "export");
    image::OpenImage opened = fuzz::open_image(img);
    std::array<std::int64_t, image::MAX_DIRECTORY_SLOTS> listed_length;
    listed_length.fill(-1);
    for (const image::CatalogueRow& row : image::read_directory(*opened.source))
        listed_length[static_cast<std::size_t>(row.slot)] = row.length;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot) {
        const auto exported = image::export_file(*opened.source, slot);
        const auto* file = std::get_if<image::ExportedFile>(&exported);
        if (!file)
            continue;
        const std::vector<std::uint8_t>* bytes = &file->bytes;
        fuzz::require(file->chain.zero_bytes <= bytes->size(), "no more bytes are zeros than the file has");
        const std::int64_t length = listed_length[static_cast<std::size_t>(slot)];
        fuzz::require(length >= 0, "only listed files are exported");
        fuzz::require(static_cast<std::int64_t>(bytes->size()) == length, "an export has the listed length");
    }
    return 0;
}
