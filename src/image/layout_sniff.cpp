#include "image/layout_sniff.h"

#include "common/bytes.h"
#include "image/directory.h"

#include <algorithm>
#include <array>

namespace image {
namespace {

using Sector = std::array<std::uint8_t, SECTOR_SIZE>;

bool read_sector_at(ByteSource& bytes, std::int64_t offset, Sector& out)
{
    return bytes.read_at(static_cast<std::uint64_t>(offset), out) == out.size();
}

bool is_data_track(std::uint8_t track_byte)
{
    const int track = track_byte & TRACK_MASK;
    return track < TRACKS_PER_SIDE && ((track_byte & SIDE_BIT) != 0 || track >= DIRECTORY_TRACKS);
}

// Whether `sector` is the first sector of the file of entry `e`: its header is the entry's, and it links on.
bool starts_file(std::span<const std::uint8_t> e, const Sector& sector)
{
    const auto header = std::span<const std::uint8_t>(sector).first(FILE_HEADER_SIZE);
    if (std::all_of(header.begin(), header.end(), [](std::uint8_t b) { return b == 0; }))
        return false;
    const std::uint8_t link_track = sector[data_sector::LINK_TRACK];
    const std::uint8_t link_sector = sector[data_sector::LINK_SECTOR];
    const bool links_on = (link_track == 0 && link_sector == 0) ||
                          (is_data_track(link_track) && link_sector >= 1 && link_sector <= SECTORS_PER_TRACK);
    if (!links_on)
        return false;
    if (std::equal(header.begin(), header.end(), e.begin() + static_cast<std::ptrdiff_t>(entry::FILE_HEADER)))
        return true;
    const DirectoryEntry d = decode_directory_entry(e);
    const FileType& type = file_type(d.type_code());
    if (type.header_check == HeaderCheck::Sam)
        return type_code_of(header[0]) == d.type_code() &&
               (common::get_le16(header, 1) & SAM_OFFSET_MASK) == (d.sam_length & SAM_OFFSET_MASK) &&
               header[7] == d.sam_page_count;
    if (type.header_check == HeaderCheck::Zx)
        return common::get_le16(header, 1) == d.zx_length && common::get_le16(header, 3) == d.zx_start;
    return false;
}

} // namespace

std::optional<Layout> layout_by_content(ByteSource& bytes)
{
    Sector first{};
    if (bytes.size() != static_cast<std::uint64_t>(IMAGE_BYTES) || !read_sector_at(bytes, 0, first))
        return std::nullopt;
    int fits_interleaved = 0;
    int fits_sequential = 0;
    for (std::size_t half = 0; half < 2; ++half) {
        const auto e = std::span<const std::uint8_t>(first).subspan(half * entry::SIZE, entry::SIZE);
        const DirectoryEntry d = decode_directory_entry(e);
        if (!d.is_used() || !is_data_track(d.first_track) || d.first_sector < 1 || d.first_sector > SECTORS_PER_TRACK)
            continue;
        const std::int64_t at_interleaved = sector_offset(Layout::Interleaved, d.first_track, d.first_sector - 1);
        const std::int64_t at_sequential = sector_offset(Layout::Sequential, d.first_track, d.first_sector - 1);
        if (at_interleaved == at_sequential)
            continue;
        Sector sector{};
        if (read_sector_at(bytes, at_interleaved, sector) && starts_file(e, sector))
            ++fits_interleaved;
        if (read_sector_at(bytes, at_sequential, sector) && starts_file(e, sector))
            ++fits_sequential;
    }
    if (fits_interleaved > 0 && fits_sequential == 0)
        return Layout::Interleaved;
    if (fits_sequential > 0 && fits_interleaved == 0)
        return Layout::Sequential;
    return std::nullopt;
}

std::string layout_note(Layout by_content)
{
    return by_content == Layout::Interleaved
               ? "read cylinder by cylinder (.mgt layout): the directory's files lie there, not where the .img name "
                 "puts them"
               : "read side after side (.img layout): the directory's files lie there, not where the name's "
                 "cylinder-by-cylinder layout puts them";
}

} // namespace image
