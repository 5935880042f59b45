#include "tape/extract.h"

#include "common/bytes.h"
#include "image/directory.h"

#include <algorithm>
#include <cassert>

namespace tape {
namespace {

constexpr std::uint16_t ARRAY_AND_BYTES_PARAM2 = 0x8000;

bool has_tape_form(int type_code)
{
    return type_code == 1 || type_code == 2 || type_code == 3 || type_code == 4 || type_code == 7;
}

} // namespace

void fill_tape_header(std::span<const std::uint8_t> entry, TapeHeader& header)
{
    namespace e = image::entry;
    assert(entry.size() >= e::SIZE);
    header[header::FLAG] = 0x00;
    header[header::TYPE] = entry[e::TAPE_TYPE] & image::TYPE_MASK;
    // The name stops before a zero byte; nothing of an earlier file's name may remain behind it.
    const auto name = entry.subspan(e::NAME, e::NAME_LEN);
    const auto name_end = std::find(name.begin(), name.end(), std::uint8_t{0});
    const auto out = std::copy(name.begin(), name_end, header.begin() + header::NAME);
    std::fill(out, header.begin() + header::NAME + header::NAME_LEN, std::uint8_t{0});

    const std::uint8_t type = header[header::TYPE];
    if (type > TAPE_BYTES)
        return;
    common::put_le16(header, header::LENGTH, common::get_le16(entry, e::ZX_LENGTH));
    if (type == TAPE_PROGRAM) {
        common::put_le16(header, header::PARAM1, common::get_le16(entry, e::ZX_AUTOSTART));
        common::put_le16(header, header::PARAM2, common::get_le16(entry, e::ZX_PROGRAM_LENGTH));
    } else {
        common::put_le16(header, header::PARAM1, common::get_le16(entry, e::ZX_START));
        common::put_le16(header, header::PARAM2, ARRAY_AND_BYTES_PARAM2);
    }
}

std::int32_t extract_file(const std::string& image_path, image::Layout layout, int slot, Workspace& ws)
{
    assert(ws.work.size() >= WORK_BUFFER_SIZE && ws.data.size() >= DATA_BUFFER_SIZE);
    image::ImageFile file(image_path, layout);
    if (!file.is_open())
        return 0;
    const image::EntryBytes entry = image::read_entry_bytes(file, slot);
    const image::DirectoryEntry decoded = image::decode_directory_entry(entry);
    if (!has_tape_form(decoded.type_code()))
        return 0;

    int count = decoded.sector_count;
    std::uint8_t track = decoded.first_track;
    int sector = decoded.first_sector - 1;
    const std::size_t length = decoded.zx_length;
    fill_tape_header(entry, ws.header);

    // Whatever the chain does not deliver reads as zero, never as bytes of an earlier operation.
    std::fill_n(ws.work.begin(), image::FILE_HEADER_SIZE + length, std::uint8_t{0});
    // Each sector lands over the link bytes of the one before, so the file becomes one stream of 510-byte
    // pieces. The walk ends on the sector count or a zero link, never on the length, and a damaged count
    // (up to 65,535 over a looping chain) stops where the work buffer ends.
    std::size_t pos = 0;
    while (count >= 1 && sector >= 0 && track != 0 && pos + image::SECTOR_SIZE <= WORK_BUFFER_SIZE) {
        const auto dest = std::span<std::uint8_t>(ws.work).subspan(pos, image::SECTOR_SIZE);
        file.read_sector(track, sector, dest);
        track = dest[image::data_sector::LINK_TRACK];
        sector = dest[image::data_sector::LINK_SECTOR] - 1;
        pos += image::data_sector::DATA_BYTES;
        --count;
    }

    std::copy_n(ws.work.begin() + image::FILE_HEADER_SIZE, length, ws.data.begin());
    return static_cast<std::int32_t>(length);
}

} // namespace tape
