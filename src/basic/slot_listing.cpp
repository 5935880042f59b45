#include "basic/slot_listing.h"

#include "basic/sam_listing.h"
#include "common/bytes.h"
#include "image/directory.h"
#include "image/file_export.h"

#include <algorithm>

namespace basic {

std::optional<SlotListing> list_slot(image::SectorSource& disc, int slot, bool rewrite)
{
    const image::EntryBytes entry = image::read_entry_bytes(disc, slot);
    if (image::decode_directory_entry(entry).type_code() == image::TYPE_SAM_BASIC) {
        auto exported = image::export_file(disc, slot);
        const auto* sam = std::get_if<image::ExportedFile>(&exported);
        if (!sam)
            return std::nullopt;
        return SlotListing{list_sam_program(sam->bytes, sam->bytes.size()), true, sam->chain, {}};
    }
    std::optional<image::Extracted> file = image::extract_file(disc, slot);
    if (!file || file->header[image::tape_header::TYPE] != image::TAPE_PROGRAM)
        return std::nullopt;
    if (rewrite)
        tape::rewrite_basic_loader(file->data);
    const std::size_t program_length = common::get_le16(file->header, image::tape_header::PARAM2);
    SlotListing result{list_program(file->data, program_length), false, file->chain, {}};
    if (rewrite)
        result.disc_only = tape::find_disc_only_syntax(
            std::span<const std::uint8_t>(file->data).first(std::min(program_length, file->data.size())));
    return result;
}

} // namespace basic
