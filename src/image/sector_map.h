// The data sectors of a +D disc as a set, and the laying of a file's chain over them. The 1,560 data sectors have
// an order: side 0 tracks 4-79, then side 1 tracks 0-79, sectors 1-10 of each track. It is the order of the bits of
// an entry's sector map (bytes 15-209, bit 0 of byte 15 first), and the +D hands out the lowest free sector in it,
// so `make` and the edits allocate from a SectorMap the same way.
#pragma once

#include "image/directory.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace image {

inline constexpr int DATA_SECTORS = 1560;

// The sector address of data sector `index` (0-1559) in the +D's order.
struct DataSectorAddress
{
    std::uint8_t track_byte = 0;
    std::uint8_t number = 0; // 1-10
};
DataSectorAddress data_sector_address(int index);

// The place (0-1559) of a sector in that order; std::nullopt for a directory sector or an address off the disc.
std::optional<int> data_sector_index(std::uint8_t track_byte, int number);

class SectorMap
{
public:
    // The sectors an entry's sector map names.
    static SectorMap of_entry(std::span<const std::uint8_t, entry::SIZE> entry);

    bool holds(int index) const { return m_held.test(static_cast<std::size_t>(index)); }
    void add(int index) { m_held.set(static_cast<std::size_t>(index)); }
    std::size_t count() const { return m_held.count(); }
    std::size_t free_count() const { return m_held.size() - m_held.count(); }

    SectorMap& operator|=(const SectorMap& other)
    {
        m_held |= other.m_held;
        return *this;
    }
    friend SectorMap operator&(const SectorMap& a, const SectorMap& b)
    {
        SectorMap both;
        both.m_held = a.m_held & b.m_held;
        return both;
    }
    friend bool operator==(const SectorMap&, const SectorMap&) = default;

    // Takes the `count` lowest sectors not held, adds them and gives them lowest first; std::nullopt, and nothing
    // taken, when fewer are free.
    std::optional<std::vector<int>> allocate(std::size_t count);

    // Calls visit(index) for each sector held, lowest first.
    void for_each(const std::function<void(int)>& visit) const;

    // Writes the set as an entry's sector map (bytes 15-209).
    void put_into(EntryBytes& entry) const;

private:
    std::bitset<DATA_SECTORS> m_held;
};

// The sectors a chain of `body_bytes` bytes takes, 510 in each: at least 1, so every file has a first sector.
std::size_t sectors_for(std::size_t body_bytes);

// Lays `body` along `chain` (data sector indices, one per 510 bytes of it, sectors_for): each sector gets its
// 510 bytes (zeros after the body's end) and the link to the next, the last the link 0, 0. The entry gets the
// chain's sector count (big-endian), first track and sector, and sector map; its other bytes stay. `sector_of`
// gives the 512 bytes of a data sector by its index.
void lay_chain(EntryBytes& entry, std::span<const std::uint8_t> body, std::span<const int> chain,
               const std::function<std::span<std::uint8_t>(int)>& sector_of);

} // namespace image
