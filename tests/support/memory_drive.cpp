#include "support/memory_drive.h"

#include <algorithm>

namespace testing_support {
namespace {

// Counts one use of a fault; true while the fault lasts.
bool take(std::map<MemoryDrive::Sector, int>& faults, const MemoryDrive::Sector& key)
{
    const auto found = faults.find(key);
    if (found == faults.end() || found->second == 0)
        return false;
    found->second -= found->second > 0 ? 1 : 0;
    return true;
}

} // namespace

MemoryDrive::MemoryDrive(std::vector<std::uint8_t> bytes) : disc(std::move(bytes))
{
    disc.resize(static_cast<std::size_t>(image::IMAGE_BYTES), 0);
}

void MemoryDrive::release()
{
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_wake.notify_all();
}

std::uint8_t* MemoryDrive::at(int track, int side, int sector)
{
    const auto track_byte = static_cast<std::uint8_t>(track | (side ? image::SIDE_BIT : 0));
    return disc.data() + image::sector_offset(image::Layout::Interleaved, track_byte, sector - 1);
}

bool MemoryDrive::fails(int track, int side)
{
    const int index = track * 2 + side;
    if (index == m_hold) {
        std::unique_lock lock(m_mutex);
        m_held = true;
        m_wake.wait(lock, [this] { return m_released; });
        m_held = false;
        m_hold = -1;
    }
    return failing_from >= 0 && index >= failing_from;
}

transfer::DriveResult MemoryDrive::read_sector(int track, int side, int sector, image::SectorSpan out)
{
    ++reads[{track, side, sector}];
    if (fails(track, side))
        return {failure, "stand-in failure"};
    if (take(read_faults, {track, side, sector}))
        return {transfer::DriveStatus::SectorError, "Data error"};
    std::copy_n(at(track, side, sector), out.size(), out.begin());
    return {};
}

transfer::DriveResult MemoryDrive::format_track(int track, int side)
{
    ++formats;
    if (fails(track, side))
        return {failure, "stand-in failure"};
    std::fill_n(at(track, side, 1), transfer::TRACK_SIZE, std::uint8_t{0xE5});
    return {};
}

transfer::DriveResult MemoryDrive::write_sector(int track, int side, int sector, image::SectorView data)
{
    if (fails(track, side))
        return {failure, "stand-in failure"};
    std::uint8_t* place = at(track, side, sector);
    std::copy(data.begin(), data.end(), place);
    if (take(write_faults, {track, side, sector}))
        *place ^= 0xFF;
    return {};
}

transfer::DriveResult MemoryDrive::close()
{
    closed = true;
    return {};
}

} // namespace testing_support
