#include "image/dsk_source.h"

#include "common/bytes.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

namespace image {

namespace {

constexpr std::string_view EXTENDED_SIGNATURE = "EXTENDED CPC DSK";
constexpr std::string_view CPCEMU_SIGNATURE = "MV - CPC";
constexpr std::string_view TRACK_SIGNATURE = "Track-Info";
constexpr std::size_t TRACK_SIZE_UNIT = 256;
constexpr int MAX_SIZE_CODE = 7; // 16 KiB sectors; larger codes are damage
constexpr std::size_t SECTOR_BASE = 128;
// Controller status bits that say the data field could not be read: ST1 data error / missing address mark,
// ST2 data error in the data field / missing data address mark.
constexpr std::uint8_t ST1_UNREADABLE = 0x20 | 0x01;
constexpr std::uint8_t ST2_UNREADABLE = 0x20 | 0x01;

bool starts_with(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view text)
{
    return at <= bytes.size() && bytes.size() - at >= text.size() &&
           std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

int sector_bytes(int size_code)
{
    return size_code <= MAX_SIZE_CODE ? static_cast<int>(SECTOR_BASE << size_code) : 0;
}

// A track's place in the file: the bytes of its block (clipped to the file), or none.
struct TrackBlock
{
    std::size_t start = 0;
    std::size_t size = 0;    // as the disc header declares it
    std::size_t present = 0; // how much of it the file holds
    bool formatted = false;
};

class DskDecoder
{
public:
    explicit DskDecoder(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes), m_extended(starts_with(bytes, 0, EXTENDED_SIGNATURE)), m_tracks(bytes[dsk_disc::TRACKS]),
          m_sides(bytes[dsk_disc::SIDES])
    {}

    std::variant<std::unique_ptr<MemoryDisc>, common::Error> decode();

private:
    std::string_view kind() const { return m_extended ? "Extended DSK" : "CPCEMU DSK"; }
    std::vector<TrackBlock> locate_tracks() const;
    DiscGeometry common_geometry(const std::vector<TrackBlock>& blocks) const;
    void read_track(const TrackBlock& block, int track, int side, MemoryDisc& disc) const;

    std::span<const std::uint8_t> m_bytes;
    bool m_extended;
    int m_tracks;
    int m_sides;
};

std::vector<TrackBlock> DskDecoder::locate_tracks() const
{
    // Extended DSK lists one size byte per track in the disc header; no more tracks fit there.
    const std::size_t table_room = dsk_disc::SIZE - dsk_disc::TRACK_SIZES;
    std::size_t count = static_cast<std::size_t>(m_tracks) * static_cast<std::size_t>(m_sides);
    if (m_extended)
        count = std::min(count, table_room);
    const std::size_t cpcemu_size = common::get_le16(m_bytes, dsk_disc::TRACK_SIZE);
    std::vector<TrackBlock> blocks(count);
    std::size_t at = dsk_disc::SIZE;
    for (std::size_t i = 0; i < count; ++i) {
        TrackBlock& block = blocks[i];
        block.size = m_extended ? m_bytes[dsk_disc::TRACK_SIZES + i] * TRACK_SIZE_UNIT : cpcemu_size;
        block.start = at;
        block.formatted = block.size > 0;
        block.present = at < m_bytes.size() ? std::min(block.size, m_bytes.size() - at) : 0;
        at += block.size; // at most 65,025 tracks of 65,535 bytes: no overflow
    }
    return blocks;
}

// The geometry most tracks have: a damaged or odd track does not decide what kind of disc this is.
DiscGeometry DskDecoder::common_geometry(const std::vector<TrackBlock>& blocks) const
{
    std::map<std::pair<int, int>, int> seen; // (sectors, size code) -> tracks
    for (const TrackBlock& block : blocks) {
        if (!block.formatted || block.present < dsk_track::SIZE || !starts_with(m_bytes, block.start, TRACK_SIGNATURE))
            continue;
        ++seen[{m_bytes[block.start + dsk_track::SECTOR_COUNT], m_bytes[block.start + dsk_track::SIZE_CODE]}];
    }
    DiscGeometry geometry{m_tracks, m_sides, 0, 0};
    int most = 0;
    for (const auto& [shape, tracks] : seen) {
        if (tracks > most) {
            most = tracks;
            geometry.sectors = shape.first;
            geometry.sector_bytes = sector_bytes(shape.second);
        }
    }
    return geometry;
}

void DskDecoder::read_track(const TrackBlock& block, int track, int side, MemoryDisc& disc) const
{
    std::vector<std::string> notes;
    if (!block.formatted) {
        disc.add_finding(track_text(track, side) + ": not formatted; its sectors read as missing");
        return;
    }
    if (block.present < dsk_track::SIZE) {
        disc.add_finding(track_text(track, side) +
                         ": declared smaller than a track header; its sectors read as missing");
        return;
    }
    if (!starts_with(m_bytes, block.start, TRACK_SIGNATURE)) {
        disc.add_finding(track_text(track, side) + ": no track header; its sectors read as missing");
        return;
    }
    const std::span<const std::uint8_t> header = m_bytes.subspan(block.start, dsk_track::SIZE);
    const std::span<const std::uint8_t> data = m_bytes.subspan(block.start, block.present);
    const std::size_t count = std::min<std::size_t>(header[dsk_track::SECTOR_COUNT], dsk_track::MAX_SECTORS);
    const auto track_length = static_cast<std::size_t>(sector_bytes(header[dsk_track::SIZE_CODE]));
    std::array<int, SECTORS_PER_TRACK> copies{};
    std::size_t at = dsk_track::SIZE;
    for (std::size_t i = 0; i < count; ++i) {
        const std::span<const std::uint8_t> record =
            header.subspan(dsk_track::SECTORS + i * dsk_track::SECTOR_RECORD, dsk_track::SECTOR_RECORD);
        const std::size_t length = m_extended ? common::get_le16(record, dsk_sector::DATA_LENGTH) : track_length;
        const std::size_t start = at;
        at += length;
        const int id = record[dsk_sector::ID];
        if (id < 1 || id > SECTORS_PER_TRACK)
            continue;
        const int index = id - 1;
        if (++copies[static_cast<std::size_t>(index)] > 1) {
            if (copies[static_cast<std::size_t>(index)] == 2)
                notes.push_back("sector " + std::to_string(id) + " found twice (the first is read)");
            continue;
        }
        const std::size_t available = start < data.size() ? std::min(length, data.size() - start) : 0;
        if ((record[dsk_sector::STATUS1] & ST1_UNREADABLE) || (record[dsk_sector::STATUS2] & ST2_UNREADABLE)) {
            notes.push_back("sector " + std::to_string(id) + " has a data error");
            disc.set_status(track, side, index, SectorStatus::Unreadable);
        } else if (available < SECTOR_SIZE) {
            notes.push_back("sector " + std::to_string(id) + " holds " + std::to_string(available) + " bytes");
            disc.set_status(track, side, index, SectorStatus::Unreadable);
        } else {
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(start), SECTOR_SIZE,
                        disc.sector(track, side, index).begin());
            disc.set_status(track, side, index, SectorStatus::Ok);
        }
    }
    for (int index = 0; index < SECTORS_PER_TRACK; ++index) {
        if (copies[static_cast<std::size_t>(index)] == 0)
            notes.push_back("sector " + std::to_string(index + 1) + " missing");
    }
    if (notes.empty())
        return;
    std::string text = track_text(track, side) + ": ";
    for (std::size_t i = 0; i < notes.size(); ++i)
        text += (i > 0 ? ", " : "") + notes[i];
    disc.add_finding(std::move(text));
}

std::variant<std::unique_ptr<MemoryDisc>, common::Error> DskDecoder::decode()
{
    const std::vector<TrackBlock> blocks = locate_tracks();
    const DiscGeometry geometry = common_geometry(blocks);
    if (geometry.sectors == 0)
        return common::Error{std::string(kind()) + " holds no readable track: cut off or damaged"};
    if (!is_disc_geometry(geometry))
        return common::Error{foreign_geometry_text(kind(), geometry)};
    auto disc = std::make_unique<MemoryDisc>();
    for (int track = 0; track < TRACKS_PER_SIDE; ++track) {
        for (int side = 0; side < SIDES; ++side) {
            const TrackBlock& block = blocks[static_cast<std::size_t>(track * SIDES + side)];
            if (block.formatted && block.size >= dsk_track::SIZE && block.present < dsk_track::SIZE) {
                const int left = (TRACKS_PER_SIDE - track) * SIDES - side;
                disc->add_finding("the file ends before " + track_text(track, side) + ": " + std::to_string(left) +
                                  (left == 1 ? " track reads" : " tracks read") + " as missing");
                return disc;
            }
            read_track(block, track, side, *disc);
        }
    }
    return disc;
}

} // namespace

bool is_dsk(std::span<const std::uint8_t> head)
{
    return starts_with(head, 0, EXTENDED_SIGNATURE) || starts_with(head, 0, CPCEMU_SIGNATURE);
}

std::variant<std::unique_ptr<MemoryDisc>, common::Error> decode_dsk(std::span<const std::uint8_t> bytes)
{
    if (!is_dsk(bytes))
        return common::Error{"no Extended DSK or CPCEMU DSK signature", common::ErrorKind::NotAnImage};
    if (bytes.size() < dsk_disc::SIZE)
        return common::Error{"DSK file cut off inside its 256-byte header"};
    return DskDecoder(bytes).decode();
}

} // namespace image
