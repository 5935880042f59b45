// A floppy drive as the transfers see it: sectors of one track read and written one at a time, a track formatted
// whole, and a status for every step. The drive is a real one through libdsk (libdsk_drive.h) or a stand-in for
// tests; either way it holds a +D / SAM disc of 80 tracks on each of 2 sides, 10 sectors of 512 bytes numbered 1-10.
#pragma once

#include "image/geometry.h"
#include "image/sector_source.h"

#include <memory>
#include <string>

namespace transfer {

inline constexpr int FIRST_SECTOR = 1;                                                  // sector numbers run 1-10
inline constexpr int TRACK_COUNT = image::TRACKS_PER_SIDE * image::SIDES;               // 160 tracks on a disc
inline constexpr std::size_t TRACK_SIZE = static_cast<std::size_t>(image::TRACK_BYTES); // 5,120 bytes

enum class DriveStatus
{
    Ok,
    SectorError,    // this sector could not be read or written (bad CRC, no such sector): worth another try
    NotReady,       // no disc in the drive, or it was changed
    WriteProtected, // the disc refuses writes
    Failed,         // the drive, or the file that stands for it, failed otherwise
};

struct DriveResult
{
    DriveStatus status = DriveStatus::Ok;
    std::string detail; // the drive's own words for a failure ("Data error (CRC)")

    bool ok() const { return status == DriveStatus::Ok; }
};

class Drive
{
public:
    virtual ~Drive() = default;

    // Reads sector `sector` (1-10) of the track on `side` (0-1) into out; out is undefined unless Ok.
    virtual DriveResult read_sector(int track, int side, int sector, image::SectorSpan out) = 0;
    // Formats the track on `side` with sectors 1-10 of 512 bytes, losing what it held.
    virtual DriveResult format_track(int track, int side) = 0;
    // Writes one sector of a formatted track.
    virtual DriveResult write_sector(int track, int side, int sector, image::SectorView data) = 0;
    // Ends the work on the drive (a file that stands for a drive is written now); its failure, if any.
    virtual DriveResult close() { return {}; }
};

// A drive ready for one transfer, or why it could not be opened ("No such file or directory").
struct OpenedDrive
{
    std::unique_ptr<Drive> drive;
    std::string error;
};

} // namespace transfer
