// Builds Extended DSK and CPCEMU DSK containers for tests and fuzz seeds, written from the published layout of the
// format rather than from the reader: any geometry, sectors stored in any order, left out or repeated, with chosen
// controller status bytes. Sector contents come from an interleaved image where the geometry matches it, else from
// a pattern that names the sector.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <tuple>
#include <vector>

namespace testing_support {

class DskBuilder
{
public:
    DskBuilder(int tracks = 80, int sides = 2, int sectors = 10, int size_code = 2, bool extended = true);

    // The sector IDs a track stores, in this order (IDs may repeat or be left out). Default: 1 to `sectors`.
    DskBuilder& ids(int track, int side, std::vector<std::uint8_t> ids);
    // The controller status bytes (ST1, ST2) of one sector ID on a track.
    DskBuilder& status(int track, int side, std::uint8_t id, std::uint8_t st1, std::uint8_t st2);

    // The container; `image` (interleaved, 819,200 bytes) gives the data of sectors 1-10 in the 800K geometry.
    // A repeated ID holds 0xEE bytes in its later copies.
    std::vector<std::uint8_t> build(std::span<const std::uint8_t> image = {}) const;

private:
    int m_tracks;
    int m_sides;
    int m_sectors;
    int m_size_code;
    bool m_extended;
    std::map<std::pair<int, int>, std::vector<std::uint8_t>> m_ids;
    std::map<std::tuple<int, int, int>, std::pair<std::uint8_t, std::uint8_t>> m_status;
};

// The byte a pattern-filled sector holds: it names the track, side and ID.
std::uint8_t dsk_pattern_byte(int track, int side, int id);

} // namespace testing_support
