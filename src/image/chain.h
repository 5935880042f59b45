// The walk along a file's sector chain. Each data sector ends in a link to the next: a track byte (0 ends the
// chain) and a sector number 1-10. Everything about a chain is read from the disc and untrusted, so every walk is
// bounded by a number of sectors that the caller states; what else ends a walk is the caller's rule, given as
// parameters and by the visitor's answer.
#pragma once

#include "image/directory.h"
#include "image/sector_source.h"

#include <array>
#include <cstdint>

namespace image {

struct ChainRules
{
    int max_sectors = 0;           // no more sectors than this are read
    bool sector_zero_ends = false; // a link to sector number 0 ends the chain instead of reading sector 1
};

// Where a sector's link points.
struct ChainLink
{
    std::uint8_t track_byte = 0;
    std::uint8_t sector_number = 0;
};

inline ChainLink link_of(SectorView sector)
{
    return {sector[data_sector::LINK_TRACK], sector[data_sector::LINK_SECTOR]};
}

// Reads the chain that starts at `first`, handing a view of each sector in turn to visit(sector, index); visit
// returns false to stop. Returns the number of sectors read.
template <typename Visit> int walk_chain(SectorSource& disc, ChainLink first, ChainRules rules, Visit&& visit)
{
    std::array<std::uint8_t, SECTOR_SIZE> scratch{};
    ChainLink at = first;
    int walked = 0;
    while (at.track_byte != 0 && walked < rules.max_sectors && !(rules.sector_zero_ends && at.sector_number == 0)) {
        const SectorView sector = disc.view_sector(at.track_byte, at.sector_number - 1, scratch);
        at = link_of(sector);
        if (!visit(sector, walked++))
            break;
    }
    return walked;
}

} // namespace image
