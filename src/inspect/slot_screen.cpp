#include "inspect/slot_screen.h"

#include "image/directory.h"
#include "image/file_export.h"
#include "image/file_types.h"
#include "inspect/screen.h"

#include <utility>

namespace inspect {

std::optional<SlotScreen> read_slot_screen(image::SectorSource& disc, int slot)
{
    std::optional<image::Extracted> file = image::extract_file(disc, slot);
    if (!file)
        return std::nullopt;
    SlotScreen screen;
    screen.incomplete = file->data.size() - file->chain.zero_bytes < SCREEN_BYTES;
    screen.chain = file->chain;
    screen.bytes = std::move(file->data);
    screen.bytes.resize(SCREEN_BYTES, 0);
    return screen;
}

bool is_sam_screen_slot(image::SectorSource& disc, int slot)
{
    const image::EntryBytes entry = image::read_entry_bytes(disc, slot);
    return image::decode_directory_entry(entry).type_code() == image::TYPE_SAM_SCREEN;
}

std::variant<SlotSamScreen, std::string> read_slot_sam_screen(image::SectorSource& disc, int slot)
{
    const image::EntryBytes entry = image::read_entry_bytes(disc, slot);
    if (image::decode_directory_entry(entry).type_code() != image::TYPE_SAM_SCREEN)
        return std::string("not a SAM screen");
    auto exported = image::export_file(disc, slot);
    if (auto* reason = std::get_if<std::string>(&exported))
        return std::move(*reason);
    const auto& file = std::get<image::ExportedFile>(exported);
    auto decoded = decode_sam_screen(file.bytes, entry[SAM_SCREEN_MODE_BYTE]);
    if (auto* reason = std::get_if<std::string>(&decoded))
        return "not a SAM screen: " + *reason;
    return SlotSamScreen{std::move(std::get<SamPicture>(decoded)), file.chain};
}

} // namespace inspect
