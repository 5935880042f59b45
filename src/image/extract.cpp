#include "image/extract.h"

#include "common/bytes.h"
#include "common/number_text.h"
#include "image/chain.h"
#include "image/directory.h"

#include <algorithm>
#include <cassert>

namespace image {
namespace {

constexpr std::uint16_t ARRAY_AND_BYTES_PARAM2 = 0x8000;
// The +D keeps an array's name byte (the letter's low five bits, 0x80 for a number array, 0xC0 for a character
// array, as in the variables area) in entry byte 216; SAVE ... DATA puts it in the high byte of the first
// parameter, which LOAD ... DATA and tape listers read as the name.
constexpr std::size_t ARRAY_NAME = image::entry::ZX_PROGRAM_LENGTH;
constexpr int NAME_SHIFT = 8;

} // namespace

void fill_tape_header(std::span<const std::uint8_t> entry, TapeHeader& header)
{
    namespace e = image::entry;
    assert(entry.size() >= e::SIZE);
    header[tape_header::FLAG] = 0x00;
    header[tape_header::TYPE] = entry[e::TAPE_TYPE] & image::TYPE_MASK;
    // The name stops before a zero byte; nothing of an earlier file's name may remain behind it.
    const auto name = entry.subspan(e::NAME, e::NAME_LEN);
    const auto name_end = std::find(name.begin(), name.end(), std::uint8_t{0});
    const auto out = std::copy(name.begin(), name_end, header.begin() + tape_header::NAME.at);
    std::fill(out, header.begin() + tape_header::NAME.at + tape_header::NAME.length, std::uint8_t{0});

    const std::uint8_t type = header[tape_header::TYPE];
    if (type > TAPE_BYTES)
        return;
    common::put_le16(header, tape_header::LENGTH, common::get_le16(entry, e::ZX_LENGTH));
    if (type == TAPE_PROGRAM) {
        common::put_le16(header, tape_header::PARAM1, common::get_le16(entry, e::ZX_AUTOSTART));
        common::put_le16(header, tape_header::PARAM2, common::get_le16(entry, e::ZX_PROGRAM_LENGTH));
    } else {
        const bool array = type == TAPE_NUMBER_ARRAY || type == TAPE_CHARACTER_ARRAY;
        common::put_le16(header, tape_header::PARAM1,
                         array ? static_cast<std::uint16_t>(entry[ARRAY_NAME] << NAME_SHIFT)
                               : common::get_le16(entry, e::ZX_START));
        common::put_le16(header, tape_header::PARAM2, ARRAY_AND_BYTES_PARAM2);
    }
}

std::string shortfall_text(const ChainReport& chain)
{
    const std::string zeros = "; " + common::grouped(chain.zero_bytes) + " bytes are zeros";
    if (chain.sectors_read < chain.sector_count)
        return "the chain ends after " + std::to_string(chain.sectors_read) + " of " +
               std::to_string(chain.sector_count) + " sectors" + zeros;
    return "its " + std::to_string(chain.sector_count) + " sectors hold less than its length" + zeros;
}

std::vector<std::uint8_t> read_chain_stream(image::SectorSource& disc, const image::DirectoryEntry& entry,
                                            std::size_t wanted, std::size_t skipped, ChainReport& chain)
{
    std::vector<std::uint8_t> stream(wanted + image::SECTOR_SIZE, 0);
    std::size_t pos = 0;
    const image::ChainRules rules{std::min<int>(entry.sector_count, MAX_CHAIN_SECTORS), true};
    chain.sector_count = entry.sector_count;
    chain.sectors_read =
        image::walk_chain(disc, {entry.first_track, entry.first_sector}, rules, [&](image::SectorView sector, int) {
            std::copy(sector.begin(), sector.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos));
            pos += image::data_sector::DATA_BYTES;
            return pos < wanted;
        });
    // The link bytes the last sector leaves in the stream are not the file's bytes.
    chain.zero_bytes = wanted - std::clamp(pos, skipped, wanted);
    stream.resize(wanted);
    return stream;
}

std::optional<Extracted> extract_file(image::SectorSource& disc, int slot)
{
    const image::EntryBytes entry = image::read_entry_bytes(disc, slot);
    const image::DirectoryEntry decoded = image::decode_directory_entry(entry);
    const std::size_t length = decoded.zx_length;
    if (!image::has_tape_form(decoded.type_code()) || length == 0)
        return std::nullopt;

    Extracted x;
    fill_tape_header(entry, x.header);
    // The stream starts with the disc's 9-byte file header; the walk ends on the sector count or a zero link,
    // never on the length.
    std::vector<std::uint8_t> stream =
        read_chain_stream(disc, decoded, image::FILE_HEADER_SIZE + length, image::FILE_HEADER_SIZE, x.chain);
    x.data.assign(stream.begin() + image::FILE_HEADER_SIZE, stream.end());
    return x;
}

} // namespace image
