// What the container readers (gzip, zip, Extended DSK, SAD) share: the most memory an unpacked image may take, the
// reading of a whole container file under that cap, the one way a container of another geometry is named when it
// is refused, and the disc they decode into. A container is read once, whole, into memory; after that its sectors
// are served from a MemoryDisc and the container bytes are gone.
#pragma once

#include "common/file_read.h"
#include "common/number_text.h"
#include "image/sector_source.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace image {

// No container, packed or unpacked, may take more memory than this: an 800K disc in any form fits easily, and a
// file that unpacks beyond it (a bomb, or no disc at all) is refused.
inline constexpr std::size_t MAX_CONTAINER_BYTES = 4 * 1024 * 1024;

using common::CHANGED_WHILE_READ;

// The shape of a disc as a container declares it.
struct DiscGeometry
{
    int tracks = 0; // per side
    int sides = 0;
    int sectors = 0; // per track
    int sector_bytes = 0;
};

// Whether a geometry is the 80-track, 2-side, 10-sector, 512-byte disc the program reads.
bool is_disc_geometry(const DiscGeometry& geometry);

// Why a container of another geometry is refused, naming what it is:
// "Extended DSK of 40 tracks, 9 sectors per track: not an 800K +D/SAM disc".
std::string foreign_geometry_text(std::string_view kind, const DiscGeometry& geometry);

using common::size_text;

// Reads a whole regular file of at most `cap` bytes. Fails with the system's reason, when the file is larger, is no
// regular file, or changes size while it is read.
std::variant<std::vector<std::uint8_t>, common::Error> read_file_capped(const std::string& path,
                                                                        std::size_t cap = MAX_CONTAINER_BYTES);

// A disc decoded from a container: the 1,600 sectors in memory with the status of each, and the damage the decoder
// met on the way (one line per damaged track, at most a few hundred lines).
class MemoryDisc : public SectorSource
{
public:
    MemoryDisc();

    // The sector at a track (0-79), side (0-1) and sector index (0-9), for the decoders to fill.
    SectorSpan sector(int track, int side, int sector_index);
    void set_status(int track, int side, int sector_index, SectorStatus status);
    void add_finding(std::string text) { m_findings.push_back(std::move(text)); }

    // What the decoder noticed, one line each ("track 3 side 0: sector 7 missing").
    const std::vector<std::string>& findings() const { return m_findings; }

protected:
    SectorStatus read_clamped(std::uint8_t track_byte, int sector_index, SectorSpan out) override;
    const std::uint8_t* view_clamped(std::uint8_t track_byte, int sector_index) override;

private:
    static std::size_t sector_number(int track, int side, int sector_index);
    static std::size_t sector_number(std::uint8_t track_byte, int sector_index);

    std::vector<std::uint8_t> m_bytes; // cylinder by cylinder, as a .mgt
    std::vector<SectorStatus> m_status;
    std::vector<std::string> m_findings;
};

} // namespace image
