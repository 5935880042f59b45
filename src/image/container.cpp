#include "image/container.h"

#include "common/file_read.h"

#include <algorithm>
#include <cassert>

namespace image {

namespace {

constexpr std::size_t DISC_SECTORS = static_cast<std::size_t>(SIDES * TRACKS_PER_SIDE * SECTORS_PER_TRACK);

std::string plural(int count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

} // namespace

bool is_disc_geometry(const DiscGeometry& geometry)
{
    return geometry.tracks == TRACKS_PER_SIDE && geometry.sides == SIDES && geometry.sectors == SECTORS_PER_TRACK &&
           geometry.sector_bytes == static_cast<int>(SECTOR_SIZE);
}

std::string foreign_geometry_text(std::string_view kind, const DiscGeometry& geometry)
{
    std::string text = std::string(kind) + " of " + plural(geometry.tracks, "track", "tracks");
    if (geometry.sides != SIDES)
        text += ", " + plural(geometry.sides, "side", "sides");
    text += ", " + plural(geometry.sectors, "sector", "sectors") + " per track";
    if (geometry.sector_bytes != static_cast<int>(SECTOR_SIZE))
        text += " of " + std::to_string(geometry.sector_bytes) + " bytes";
    return text + ": not an 800K +D/SAM disc";
}

std::variant<std::vector<std::uint8_t>, common::Error> read_file_capped(const std::string& path, std::size_t cap)
{
    auto bytes = common::read_whole_file(path, cap, "a disc image");
    if (auto* failure = std::get_if<common::Error>(&bytes))
        return common::Error{std::move(failure->text), failure->kind == common::ErrorKind::Refused
                                                           ? common::ErrorKind::NotAnImage
                                                           : common::ErrorKind::Failed};
    return std::move(std::get<std::vector<std::uint8_t>>(bytes));
}

MemoryDisc::MemoryDisc()
    : m_bytes(static_cast<std::size_t>(IMAGE_BYTES), 0), m_status(DISC_SECTORS, SectorStatus::Missing)
{}

std::size_t MemoryDisc::sector_number(int track, int side, int sector_index)
{
    assert(track >= 0 && track < TRACKS_PER_SIDE && side >= 0 && side < SIDES && sector_index >= 0 &&
           sector_index < SECTORS_PER_TRACK);
    return static_cast<std::size_t>((track * SIDES + side) * SECTORS_PER_TRACK + sector_index);
}

SectorSpan MemoryDisc::sector(int track, int side, int sector_index)
{
    return SectorSpan(m_bytes.data() + sector_number(track, side, sector_index) * SECTOR_SIZE, SECTOR_SIZE);
}

void MemoryDisc::set_status(int track, int side, int sector_index, SectorStatus status)
{
    m_status[sector_number(track, side, sector_index)] = status;
}

std::size_t MemoryDisc::sector_number(std::uint8_t track_byte, int sector_index)
{
    return sector_number(track_byte & TRACK_MASK, (track_byte & SIDE_BIT) ? 1 : 0, sector_index);
}

const std::uint8_t* MemoryDisc::view_clamped(std::uint8_t track_byte, int sector_index)
{
    const std::size_t number = sector_number(track_byte, sector_index);
    // A sector that is not Ok reads as zeros, which read_clamped gives.
    return m_status[number] == SectorStatus::Ok ? m_bytes.data() + number * SECTOR_SIZE : nullptr;
}

SectorStatus MemoryDisc::read_clamped(std::uint8_t track_byte, int sector_index, SectorSpan out)
{
    const std::size_t number = sector_number(track_byte, sector_index);
    const SectorStatus status = m_status[number];
    if (status == SectorStatus::Ok)
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(number * SECTOR_SIZE), SECTOR_SIZE, out.begin());
    else
        std::fill(out.begin(), out.end(), std::uint8_t{0});
    return status;
}

} // namespace image
