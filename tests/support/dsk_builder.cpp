#include "support/dsk_builder.h"

#include "common/bytes.h"
#include "image/geometry.h"

#include <algorithm>
#include <string_view>

namespace testing_support {

namespace {

constexpr std::string_view EXTENDED_HEADER = "EXTENDED CPC DSK File\r\nDisk-Info\r\n";
constexpr std::string_view CPCEMU_HEADER = "MV - CPCEMU Disk-File\r\nDisk-Info\r\n";
constexpr std::string_view TRACK_HEADER = "Track-Info\r\n";
constexpr std::string_view CREATOR = "kestrel tests";
constexpr std::size_t BLOCK = 256;
constexpr std::size_t CREATOR_AT = 0x22;
constexpr std::size_t TRACKS_AT = 0x30, SIDES_AT = 0x31, TRACK_SIZE_AT = 0x32, SIZE_TABLE_AT = 0x34;
constexpr std::size_t TRACK_NO_AT = 0x10, SIDE_NO_AT = 0x11, SIZE_CODE_AT = 0x14, COUNT_AT = 0x15, GAP_AT = 0x16,
                      FILLER_AT = 0x17, RECORDS_AT = 0x18, RECORD = 8;
constexpr std::uint8_t GAP3 = 0x4E, FILLER = 0xE5, REPEAT_FILL = 0xEE;

void put_text(std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view text)
{
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace

std::uint8_t dsk_pattern_byte(int track, int side, int id)
{
    return static_cast<std::uint8_t>(track * 3 + side * 101 + id * 17 + 1);
}

DskBuilder::DskBuilder(int tracks, int sides, int sectors, int size_code, bool extended)
    : m_tracks(tracks), m_sides(sides), m_sectors(sectors), m_size_code(size_code), m_extended(extended)
{}

DskBuilder& DskBuilder::ids(int track, int side, std::vector<std::uint8_t> ids)
{
    m_ids[{track, side}] = std::move(ids);
    return *this;
}

DskBuilder& DskBuilder::status(int track, int side, std::uint8_t id, std::uint8_t st1, std::uint8_t st2)
{
    m_status[{track, side, id}] = {st1, st2};
    return *this;
}

std::vector<std::uint8_t> DskBuilder::build(std::span<const std::uint8_t> image) const
{
    const std::size_t sector_size = std::size_t{128} << m_size_code;
    const bool disc_geometry = m_sides == image::SIDES && m_sectors == image::SECTORS_PER_TRACK &&
                               sector_size == image::SECTOR_SIZE && image.size() == image::IMAGE_BYTES;
    std::vector<std::uint8_t> out(BLOCK, 0);
    put_text(out, 0, m_extended ? EXTENDED_HEADER : CPCEMU_HEADER);
    put_text(out, CREATOR_AT, CREATOR);
    out[TRACKS_AT] = static_cast<std::uint8_t>(m_tracks);
    out[SIDES_AT] = static_cast<std::uint8_t>(m_sides);
    if (!m_extended)
        common::put_le16(out, TRACK_SIZE_AT,
                         static_cast<std::uint16_t>(BLOCK + static_cast<std::size_t>(m_sectors) * sector_size));
    for (int track = 0; track < m_tracks; ++track) {
        for (int side = 0; side < m_sides; ++side) {
            std::vector<std::uint8_t> ids;
            if (const auto it = m_ids.find({track, side}); it != m_ids.end())
                ids = it->second;
            else
                for (int id = 1; id <= m_sectors; ++id)
                    ids.push_back(static_cast<std::uint8_t>(id));
            std::vector<std::uint8_t> block(BLOCK, 0);
            put_text(block, 0, TRACK_HEADER);
            block[TRACK_NO_AT] = static_cast<std::uint8_t>(track);
            block[SIDE_NO_AT] = static_cast<std::uint8_t>(side);
            block[SIZE_CODE_AT] = static_cast<std::uint8_t>(m_size_code);
            block[COUNT_AT] = static_cast<std::uint8_t>(ids.size());
            block[GAP_AT] = GAP3;
            block[FILLER_AT] = FILLER;
            std::vector<int> copies(256, 0);
            for (std::size_t i = 0; i < ids.size(); ++i) {
                const int id = ids[i];
                const std::size_t record = RECORDS_AT + i * RECORD;
                block[record] = static_cast<std::uint8_t>(track);
                block[record + 1] = static_cast<std::uint8_t>(side);
                block[record + 2] = ids[i];
                block[record + 3] = static_cast<std::uint8_t>(m_size_code);
                if (const auto it = m_status.find({track, side, id}); it != m_status.end()) {
                    block[record + 4] = it->second.first;
                    block[record + 5] = it->second.second;
                }
                if (m_extended)
                    common::put_le16(block, record + 6, static_cast<std::uint16_t>(sector_size));
                std::vector<std::uint8_t> data(sector_size, dsk_pattern_byte(track, side, id));
                if (copies[static_cast<std::size_t>(id)]++ > 0)
                    std::fill(data.begin(), data.end(), REPEAT_FILL);
                else if (disc_geometry && id >= 1 && id <= m_sectors) {
                    const auto at = static_cast<std::size_t>(
                        image::sector_offset(image::Layout::Interleaved,
                                             static_cast<std::uint8_t>(track | (side ? image::SIDE_BIT : 0)), id - 1));
                    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at), sector_size, data.begin());
                }
                block.insert(block.end(), data.begin(), data.end());
            }
            // Extended DSK tracks take whole 256-byte units; CPCEMU tracks all take the header's track size.
            const std::size_t track_size = m_extended ? (block.size() + BLOCK - 1) / BLOCK * BLOCK
                                                      : BLOCK + static_cast<std::size_t>(m_sectors) * sector_size;
            block.resize(track_size, 0);
            if (m_extended)
                out[SIZE_TABLE_AT + static_cast<std::size_t>(track * m_sides + side)] =
                    static_cast<std::uint8_t>(track_size / BLOCK);
            out.insert(out.end(), block.begin(), block.end());
        }
    }
    return out;
}

} // namespace testing_support
