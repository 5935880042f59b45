#include "tape/file_export.h"

#include "image/chain.h"
#include "image/directory.h"
#include "tape/extract.h"

#include <algorithm>

namespace tape {
namespace {

// The stream of a chain as extraction builds it: each sector's 512 bytes land over the link bytes of the one
// before, so the 510-byte pieces follow each other; bytes the chain does not deliver stay zero.
std::vector<std::uint8_t> read_stream(image::SectorSource& disc, const image::DirectoryEntry& entry, std::size_t wanted)
{
    std::vector<std::uint8_t> stream(wanted + image::SECTOR_SIZE, 0);
    std::size_t pos = 0;
    const image::ChainRules rules{std::min<int>(entry.sector_count, MAX_CHAIN_SECTORS), true};
    image::walk_chain(disc, {entry.first_track, entry.first_sector}, rules, [&](image::SectorView sector, int) {
        std::copy(sector.begin(), sector.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos));
        pos += image::data_sector::DATA_BYTES;
        return pos < wanted;
    });
    stream.resize(wanted);
    return stream;
}

} // namespace

bool is_exportable(int type_code)
{
    return image::has_tape_form(type_code) || image::file_type(type_code).sam;
}

std::variant<std::vector<std::uint8_t>, std::string> export_file(image::SectorSource& disc, int slot)
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
        std::optional<Extracted> x = extract_file(disc, slot);
        return x ? std::move(x->data) : std::vector<std::uint8_t>{};
    }
    // A SAM length can reach 255 pages (about 4 MiB): more than a disc holds, but bounded.
    const auto length = static_cast<std::size_t>(image::catalogue_row(entry, slot).length);
    std::vector<std::uint8_t> stream = read_stream(disc, entry, image::FILE_HEADER_SIZE + length);
    stream.erase(stream.begin(), stream.begin() + image::FILE_HEADER_SIZE);
    return stream;
}

} // namespace tape
