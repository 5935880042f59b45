#include "image/file_export.h"

#include "image/chain.h"
#include "image/directory.h"
#include "image/extract.h"
#include "image/masterbasic_unpack.h"

#include <algorithm>

namespace image {
bool is_exportable(int type_code)
{
    return image::has_tape_form(type_code) || image::file_type(type_code).sam;
}

std::variant<ExportedFile, std::string> export_file(image::SectorSource& disc, int slot)
{
    const image::EntryBytes bytes = image::read_entry_bytes(disc, slot);
    const image::DirectoryEntry entry = image::decode_directory_entry(bytes);
    const int code = entry.type_code();
    if (!entry.is_used())
        return std::string("no file in slot ") + std::to_string(slot);
    if (!is_exportable(code)) {
        const std::string_view name = image::type_name(code);
        const std::string type = name.empty() ? "type " + std::to_string(code) : std::string(name);
        return type + " files cannot be exported (only ZX files with a tape form and SAM files can)";
    }
    if (image::has_tape_form(code)) {
        std::optional<image::Extracted> x = image::extract_file(disc, slot);
        if (!x)
            return ExportedFile{};
        return ExportedFile{std::move(x->data), x->chain, std::nullopt, false};
    }
    // A SAM length can reach 255 pages (about 4 MiB): more than a disc holds, but bounded.
    const auto length = static_cast<std::size_t>(image::catalogue_row(entry, slot).length);
    ExportedFile file;
    file.bytes =
        image::read_chain_stream(disc, entry, image::FILE_HEADER_SIZE + length, image::FILE_HEADER_SIZE, file.chain);
    file.bytes.erase(file.bytes.begin(), file.bytes.begin() + image::FILE_HEADER_SIZE);
    if (entry.sam.packed) {
        file.packed_length = file.bytes.size();
        auto unpacked = entry.sam.save_mode == image::SAVE_PACKED_BY_BYTES
                            ? unpack_by_bytes(file.bytes)
                            : unpack_by_nibbles(file.bytes, entry.sam.screen_mode.value_or(0));
        // The entry keeps the unpacked length: the packed data fills fewer sectors, and what the unpacking made
        // is the measure of what is missing.
        if (unpacked) {
            file.bytes = std::move(*unpacked);
            file.chain.zero_bytes = length > file.bytes.size() ? length - file.bytes.size() : 0;
            // The export has the listed length: zeros where the unpacking made too little, nothing past its end.
            file.bytes.resize(length);
        } else {
            file.unpack_failed = true;
        }
    }
    return file;
}

} // namespace image
