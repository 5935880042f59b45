#include "image/sector_map.h"

#include "common/bytes.h"
#include "image/geometry.h"

#include <algorithm>
#include <bit>
#include <cassert>

namespace image {
namespace {

constexpr int BITS_PER_BYTE = 8;
constexpr int SIDE0_DATA_TRACKS = TRACKS_PER_SIDE - DIRECTORY_TRACKS;
static_assert(DATA_SECTORS == (SIDES * TRACKS_PER_SIDE - DIRECTORY_TRACKS) * SECTORS_PER_TRACK);
static_assert(entry::SECTOR_MAP_LEN * BITS_PER_BYTE == DATA_SECTORS);

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

SectorMap SectorMap::of_entry(std::span<const std::uint8_t, entry::SIZE> entry)
{
    SectorMap map;
    // Only the bits that are set are visited: a map is mostly zeros, or (on a damaged disc) read many times.
    for (std::size_t at = 0; at < entry::SECTOR_MAP_LEN; ++at)
        for (unsigned bits = entry[entry::SECTOR_MAP + at]; bits != 0; bits &= bits - 1)
            map.m_held.set(at * BITS_PER_BYTE + static_cast<std::size_t>(std::countr_zero(bits)));
    return map;
}

std::optional<std::vector<int>> SectorMap::allocate(std::size_t count)
{
    if (count > free_count())
        return std::nullopt;
    std::vector<int> taken;
    taken.reserve(count);
    for (int index = 0; taken.size() < count; ++index) {
        if (holds(index))
            continue;
        add(index);
        taken.push_back(index);
    }
    return taken;
}

void SectorMap::for_each(const std::function<void(int)>& visit) const
{
    for (int index = 0; index < DATA_SECTORS; ++index)
        if (holds(index))
            visit(index);
}

void SectorMap::put_into(EntryBytes& entry) const
{
    std::fill_n(entry.begin() + entry::SECTOR_MAP, entry::SECTOR_MAP_LEN, std::uint8_t{0});
    for_each([&](int index) {
        entry[entry::SECTOR_MAP + static_cast<std::size_t>(index / BITS_PER_BYTE)] |=
            static_cast<std::uint8_t>(1U << (index % BITS_PER_BYTE));
    });
}

std::size_t sectors_for(std::size_t body_bytes)
{
    return std::max<std::size_t>(1, (body_bytes + data_sector::DATA_BYTES - 1) / data_sector::DATA_BYTES);
}

void lay_chain(EntryBytes& entry, std::span<const std::uint8_t> body, std::span<const int> chain,
               const std::function<std::span<std::uint8_t>(int)>& sector_of)
{
    assert(!chain.empty() && chain.size() == sectors_for(body.size()));
    SectorMap map;
    for (std::size_t n = 0; n < chain.size(); ++n) {
        const std::span<std::uint8_t> sector = sector_of(chain[n]);
        std::fill(sector.begin(), sector.end(), std::uint8_t{0});
        const std::size_t from = std::min(n * data_sector::DATA_BYTES, body.size());
        const auto piece = body.subspan(from, std::min(data_sector::DATA_BYTES, body.size() - from));
        std::copy(piece.begin(), piece.end(), sector.begin());
        if (n + 1 < chain.size()) {
            const DataSectorAddress link = data_sector_address(chain[n + 1]);
            sector[data_sector::LINK_TRACK] = link.track_byte;
            sector[data_sector::LINK_SECTOR] = link.number;
        }
        map.add(chain[n]);
    }
    const DataSectorAddress first = data_sector_address(chain.front());
    common::put_be16(entry, entry::SECTOR_COUNT, static_cast<std::uint16_t>(chain.size()));
    entry[entry::FIRST_TRACK] = first.track_byte;
    entry[entry::FIRST_SECTOR] = first.number;
    map.put_into(entry);
}

} // namespace image
