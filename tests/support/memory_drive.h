// A floppy drive held in memory for tests of the transfers: a disc in the .mgt layout, sector faults, a failure
// from a track on, and a gate that holds the transfer (on its own thread) at a track until the test releases it.
#pragma once

#include "transfer/drive.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace testing_support {

struct MemoryDrive : transfer::Drive
{
    using Sector = std::tuple<int, int, int>; // track, side, sector 1-10

    // 819,200 bytes in the .mgt layout; an empty vector gives a disc of zeros.
    explicit MemoryDrive(std::vector<std::uint8_t> bytes = {});

    std::vector<std::uint8_t> disc;
    std::map<Sector, int> read_faults;  // reads that fail with a sector error: a count, or -1 for every one
    std::map<Sector, int> write_faults; // writes that store one byte changed: a count, or -1 for every one
    std::map<Sector, int> reads;        // reads asked for, per sector
    int failing_from = -1;              // every step from this track index (track * 2 + side) on fails...
    transfer::DriveStatus failure = transfer::DriveStatus::NotReady; // ...with this status
    int formats = 0;
    bool closed = false;

    // The first step on the track waits until release().
    void hold_at(int track, int side) { m_hold = track * 2 + side; }
    void release();
    bool is_held() const { return m_held; }

    transfer::DriveResult read_sector(int track, int side, int sector, image::SectorSpan out) override;
    transfer::DriveResult format_track(int track, int side) override;
    transfer::DriveResult write_sector(int track, int side, int sector, image::SectorView data) override;
    transfer::DriveResult close() override;

private:
    std::uint8_t* at(int track, int side, int sector);
    bool fails(int track, int side);

    int m_hold = -1;
    std::atomic<bool> m_held{false};
    bool m_released = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

} // namespace testing_support
