// Fuzz target: the copy of a +D system file out of an arbitrary image (the first "+SYS" file, or with the option
// bit the slot the fourth input byte names) and a new disc holding nothing else. Besides the sanitizers it checks
// that a copy is whole sectors, exactly as many as the entry counts, and that such a copy always fits a new disc.
#include "fuzz_support.h"

#include "files/make_disc.h"
#include "image/directory.h"

#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "system_file");
    image::OpenImage opened = fuzz::open_image(img);
    std::optional<int> slot;
    if (img.selector & fuzz::selector::OPTION)
        slot = (size > fuzz::INPUT_HEADER ? data[fuzz::INPUT_HEADER] : 0) % image::DIRECTORY_SLOTS;
    const auto found = files::read_system_file(*opened.source, slot, "fuzz.mgt");
    const auto* system = std::get_if<files::SystemFile>(&found);
    if (!system)
        return 0;
    const int count = image::decode_directory_entry(system->file.entry).sector_count;
    fuzz::require(system->file.body.size() == static_cast<std::size_t>(count) * image::data_sector::DATA_BYTES,
                  "a copy holds as many whole sectors as the entry counts");
    const auto made = files::make_disc({}, image::Layout::Sequential, *system);
    const auto* disc = std::get_if<files::MadeDisc>(&made);
    fuzz::require(disc && disc->placed.size() == 1 && disc->bytes.size() == image::IMAGE_BYTES,
                  "a system file alone always makes a disc");
    return 0;
}
