#include "image/disc_writer.h"

#include "common/bytes.h"

#include <algorithm>
#include <cassert>
#include <limits>

namespace image {
namespace {

constexpr int BITS_PER_BYTE = 8;
constexpr int SIDE0_DATA_TRACKS = TRACKS_PER_SIDE - DIRECTORY_TRACKS;
static_assert(DATA_SECTORS == (SIDES * TRACKS_PER_SIDE - DIRECTORY_TRACKS) * SECTORS_PER_TRACK);
static_assert(entry::SECTOR_MAP_LEN * BITS_PER_BYTE == DATA_SECTORS);

std::span<std::uint8_t> sector_bytes(std::vector<std::uint8_t>& disc, Layout layout, std::uint8_t track_byte,
                                     int sector_index)
{
    const auto offset = static_cast<std::size_t>(sector_offset(layout, track_byte, sector_index));
    return std::span<std::uint8_t>(disc).subspan(offset, SECTOR_SIZE);
}

std::string too_much(const std::string& what, std::size_t count, std::size_t room)
{
    return std::to_string(count) + " " + what + ", a disc holds " + std::to_string(room) + "; nothing written";
}

} // namespace

DataSectorAddress data_sector_address(int index)
{
    assert(index >= 0 && index < DATA_SECTORS);
    const int track = index / SECTORS_PER_TRACK;
    const auto number = static_cast<std::uint8_t>(index % SECTORS_PER_TRACK + 1);
    if (track < SIDE0_DATA_TRACKS)
        return {static_cast<std::uint8_t>(track + DIRECTORY_TRACKS), number};
    return {static_cast<std::uint8_t>((track - SIDE0_DATA_TRACKS) | SIDE_BIT), number};
}

std::optional<int> data_sector_index(std::uint8_t track_byte, int number)
{
    const int track = track_byte & TRACK_MASK;
    const bool side1 = (track_byte & SIDE_BIT) != 0;
    if (track >= TRACKS_PER_SIDE || number < 1 || number > SECTORS_PER_TRACK || (!side1 && track < DIRECTORY_TRACKS))
        return std::nullopt;
    const int tracks_before = side1 ? SIDE0_DATA_TRACKS + track : track - DIRECTORY_TRACKS;
    return tracks_before * SECTORS_PER_TRACK + number - 1;
}

int sectors_for(std::size_t body_bytes)
{
    return static_cast<int>(
        std::clamp<std::size_t>(data_sector::sectors_for(body_bytes), 1, std::numeric_limits<int>::max()));
}

std::optional<std::string> beyond_one_disc(std::size_t files, std::size_t sectors)
{
    if (files > static_cast<std::size_t>(DIRECTORY_SLOTS))
        return too_much("files", files, DIRECTORY_SLOTS);
    if (sectors > static_cast<std::size_t>(DATA_SECTORS))
        return too_much("sectors needed", sectors, DATA_SECTORS);
    return std::nullopt;
}

std::variant<WrittenDisc, std::string> build_disc(std::span<const DiscFile> files, Layout layout)
{
    assert(layout != Layout::None);
    std::size_t needed = 0;
    for (const DiscFile& file : files)
        needed += static_cast<std::size_t>(sectors_for(file.body.size()));
    if (auto refusal = beyond_one_disc(files.size(), needed))
        return std::move(*refusal);

    WrittenDisc disc;
    disc.bytes.assign(static_cast<std::size_t>(IMAGE_BYTES), 0);
    int next_free = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const DiscFile& file = files[i];
        const int slot = static_cast<int>(i);
        EntryBytes entry = file.entry;
        std::fill_n(entry.begin() + entry::SECTOR_COUNT,
                    entry::SECTOR_MAP + entry::SECTOR_MAP_LEN - entry::SECTOR_COUNT, std::uint8_t{0});
        const int count = sectors_for(file.body.size());
        const DataSectorAddress first = data_sector_address(next_free);
        common::put_be16(entry, entry::SECTOR_COUNT, static_cast<std::uint16_t>(count));
        entry[entry::FIRST_TRACK] = first.track_byte;
        entry[entry::FIRST_SECTOR] = first.number;

        for (int n = 0; n < count; ++n) {
            const int index = next_free + n;
            const DataSectorAddress at = data_sector_address(index);
            const auto sector = sector_bytes(disc.bytes, layout, at.track_byte, at.number - 1);
            const std::size_t from = static_cast<std::size_t>(n) * data_sector::DATA_BYTES;
            const std::size_t take =
                std::min(data_sector::DATA_BYTES, file.body.size() - std::min(from, file.body.size()));
            std::copy_n(file.body.begin() + static_cast<std::ptrdiff_t>(from), take, sector.begin());
            if (n + 1 < count) {
                const DataSectorAddress next = data_sector_address(index + 1);
                sector[data_sector::LINK_TRACK] = next.track_byte;
                sector[data_sector::LINK_SECTOR] = next.number;
            }
            entry[entry::SECTOR_MAP + static_cast<std::size_t>(index / BITS_PER_BYTE)] |=
                static_cast<std::uint8_t>(1U << (index % BITS_PER_BYTE));
        }
        next_free += count;

        const SlotAddress where = slot_address(slot);
        const auto dir_sector = sector_bytes(disc.bytes, layout, where.track_byte, where.sector_index);
        std::copy(entry.begin(), entry.end(), dir_sector.begin() + static_cast<std::ptrdiff_t>(where.offset));
        disc.placed.push_back({slot, count, first.track_byte, first.number});
    }
    return disc;
}

} // namespace image
