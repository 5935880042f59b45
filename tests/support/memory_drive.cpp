#include "support/memory_drive.h"

#include <algorithm>

namespace testing_support {
namespace {

int track_index(int track, int side)
{
    return track * image::SIDES + side;
}

} // namespace

MemoryDrive::MemoryDrive(std::vector<std::uint8_t> disc) : m_disc(std::move(disc))
{
    m_disc.resize(static_cast<std::size_t>(image::IMAGE_BYTES), 0);
}

void MemoryDrive::fail_reads(const transfer::SectorAddress& at, int times)
{
    m_read_faults[{at.track, at.side, at.sector}] = times;
}

void MemoryDrive::corrupt_writes(const transfer::SectorAddress& at, int times)
{
    m_write_faults[{at.track, at.side, at.sector}] = times;
}

void MemoryDrive::fail_from(int track, int side, transfer::DriveStatus status)
{
    m_failing_from = std::make_pair(track_index(track, side), status);
}

void MemoryDrive::hold_at(int track, int side)
{
    m_hold_index = track_index(track, side);
}

void MemoryDrive::release()
{
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_wake.notify_all();
}

int MemoryDrive::reads_of(const transfer::SectorAddress& at) const
{
    const auto found = m_reads.find({at.track, at.side, at.sector});
    return found == m_reads.end() ? 0 : found->second;
}

std::size_t MemoryDrive::offset(int track, int side, int sector) const
{
    const auto at = image::sector_offset(image::Layout::Interleaved,
                                         static_cast<std::uint8_t>(track | (side ? image::SIDE_BIT : 0)),
                                         sector - transfer::FIRST_SECTOR);
    return static_cast<std::size_t>(at);
}

std::optional<transfer::DriveResult> MemoryDrive::step(int track, int side)
{
    const int index = track_index(track, side);
    if (m_hold_index == index) {
        std::unique_lock lock(m_mutex);
        m_held = true;
        m_wake.wait(lock, [this] { return m_released; });
        m_held = false;
        m_hold_index.reset();
    }
    if (m_failing_from && index >= m_failing_from->first)
        return transfer::DriveResult{m_failing_from->second, "stand-in failure"};
    return std::nullopt;
}

bool MemoryDrive::take(std::map<Key, int>& faults, const Key& key)
{
    const auto found = faults.find(key);
    if (found == faults.end() || found->second == 0)
        return false;
    if (found->second > 0)
        --found->second;
    return true;
}

transfer::DriveResult MemoryDrive::read_sector(int track, int side, int sector, image::SectorSpan out)
{
    ++m_reads[{track, side, sector}];
    if (auto failure = step(track, side))
        return *failure;
    if (take(m_read_faults, {track, side, sector}))
        return {transfer::DriveStatus::SectorError, "Data error"};
    std::copy_n(m_disc.begin() + static_cast<std::ptrdiff_t>(offset(track, side, sector)), out.size(), out.begin());
    return {};
}

transfer::DriveResult MemoryDrive::format_track(int track, int side)
{
    ++m_formats;
    if (auto failure = step(track, side))
        return *failure;
    const auto start = m_disc.begin() + static_cast<std::ptrdiff_t>(offset(track, side, transfer::FIRST_SECTOR));
    std::fill_n(start, transfer::TRACK_SIZE, std::uint8_t{0xE5});
    return {};
}

transfer::DriveResult MemoryDrive::write_sector(int track, int side, int sector, image::SectorView data)
{
    if (auto failure = step(track, side))
        return *failure;
    const auto start = m_disc.begin() + static_cast<std::ptrdiff_t>(offset(track, side, sector));
    std::copy(data.begin(), data.end(), start);
    if (take(m_write_faults, {track, side, sector}))
        *start ^= 0xFF;
    return {};
}

transfer::DriveResult MemoryDrive::close()
{
    m_closed = true;
    return {};
}

} // namespace testing_support
