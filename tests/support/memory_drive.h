// A floppy drive held in memory, for tests of the transfers: a disc of 1,600 sectors stored cylinder by cylinder
// (the .mgt layout), faults chosen per sector or from a track on, and a gate that holds the transfer at a track
// until the test lets it go on (the transfer may run on another thread meanwhile).
#pragma once

#include "transfer/disc_transfer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

namespace testing_support {

class MemoryDrive : public transfer::Drive
{
public:
    // A disc with these 819,200 bytes in the .mgt layout; an empty vector gives a disc of zeros.
    explicit MemoryDrive(std::vector<std::uint8_t> disc = {});

    // The next `times` reads of the sector fail with a sector error; -1: every read.
    void fail_reads(const transfer::SectorAddress& at, int times = -1);
    // The next `times` writes of the sector store one byte changed; -1: every write.
    void corrupt_writes(const transfer::SectorAddress& at, int times = -1);
    // Every step from this track on (in transfer order) fails with `status`.
    void fail_from(int track, int side, transfer::DriveStatus status);
    // The first step on this track waits until release() is called.
    void hold_at(int track, int side);
    void release();
    // Whether a step is waiting at the held track.
    bool is_held() const { return m_held; }

    const std::vector<std::uint8_t>& disc() const { return m_disc; }
    int reads_of(const transfer::SectorAddress& at) const;
    int formats() const { return m_formats; }
    bool closed() const { return m_closed; }

    transfer::DriveResult read_sector(int track, int side, int sector, image::SectorSpan out) override;
    transfer::DriveResult format_track(int track, int side) override;
    transfer::DriveResult write_sector(int track, int side, int sector, image::SectorView data) override;
    transfer::DriveResult close() override;

private:
    using Key = std::tuple<int, int, int>;
    std::size_t offset(int track, int side, int sector) const;
    std::optional<transfer::DriveResult> step(int track, int side);
    // Counts one use of a fault; true while it applies.
    static bool take(std::map<Key, int>& faults, const Key& key);

    std::vector<std::uint8_t> m_disc;
    std::map<Key, int> m_read_faults;
    std::map<Key, int> m_write_faults;
    std::map<Key, int> m_reads;
    std::optional<std::pair<int, transfer::DriveStatus>> m_failing_from; // track index, status
    int m_formats = 0;
    bool m_closed = false;

    std::optional<int> m_hold_index;
    std::atomic<bool> m_held{false};
    bool m_released = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

} // namespace testing_support
