// Whole discs between a drive and an image. A read takes the 1,600 sectors of a disc into an image in either
// layout, trying each sector a few times and leaving one that stays unreadable as zeros; a write takes the image
// whole into memory first (copy_disc), then formats each track, writes it and reads it back to compare. Both go
// cylinder by cylinder from track 0, report before each track, and stop at the next step once cancelled. Nothing here
// touches a file: the caller writes the image read (through common::AtomicFile) and opens the image to write (read
// only).
#pragma once

#include "image/geometry.h"
#include "image/sector_source.h"
#include "transfer/drive.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace transfer {

inline constexpr int READ_ATTEMPTS = 5;  // tries of one sector before it counts as unreadable
inline constexpr int WRITE_ATTEMPTS = 3; // tries of one track (format, write, compare) before a write gives up

// Where a transfer stands, reported before each track.
struct Progress
{
    int track = 0;       // 0-79
    int side = 0;        // 0-1
    int tracks_done = 0; // finished tracks, 0-160
    int errors = 0;      // so far: unreadable sectors (read), tracks written again (write)
};

// How a transfer reports and learns that it should stop; both may be empty. They are called on the thread that
// runs the transfer.
struct Hooks
{
    std::function<void(const Progress&)> on_track;
    std::function<bool()> is_cancelled;
};

enum class Outcome
{
    Done,
    Cancelled,
    Failed,
};

struct DriveSectorAddress
{
    int track = 0;
    int side = 0;
    int sector = FIRST_SECTOR;

    friend bool operator==(const DriveSectorAddress&, const DriveSectorAddress&) = default;
};

struct ReadReport
{
    Outcome outcome = Outcome::Done;
    std::vector<std::uint8_t> image;            // Done: the 819,200 bytes in the layout asked for; empty otherwise
    std::vector<DriveSectorAddress> unreadable; // sectors left as zeros, in the order they were read
    int tracks_done = 0;
    std::string failure; // Failed: what stopped the read, and where
};

struct WriteReport
{
    Outcome outcome = Outcome::Done;
    int tracks_done = 0;    // tracks written and verified, one after another from track 0 side 0
    int retried_tracks = 0; // tracks that did not read back at first and were written again
    std::string failure;    // Failed: what stopped the write, and where
};

// Reads the whole disc in `drive` into an image in `layout` (not None). Stops early, with an empty image, when
// cancelled or when the drive fails as a whole (no disc, a failing device); damaged sectors do not stop it.
ReadReport read_disc(Drive& drive, image::Layout layout, const Hooks& hooks = {});

// A whole disc taken from an image into memory, so that a write of several minutes holds no file open.
struct DiscCopy
{
    std::vector<std::uint8_t> bytes;         // the 819,200 bytes cylinder by cylinder (the .mgt layout)
    std::vector<DriveSectorAddress> missing; // sectors the image lacks or could not give, zeros in `bytes`, in order
};

// Reads every sector of `image` into memory.
DiscCopy copy_disc(image::SectorSource& image);

// Writes `disc` (819,200 bytes in the .mgt layout) to the disc in `drive` and checks each track by reading it
// back, then closes the drive. Stops at the first track that does not verify after WRITE_ATTEMPTS tries, or when
// cancelled.
WriteReport write_disc(Drive& drive, std::span<const std::uint8_t> disc, const Hooks& hooks = {});

// "track 3 side 1 sector 7 unreadable".
std::string unreadable_text(const DriveSectorAddress& at);
// Sectors for the user, in track order: "1 sector: track 0 side 0 sector 10", "23 sectors: track 0 side 0
// sectors 1, 4, 7; track 3 side 1 to track 4 side 0 (every sector)". After a few places the rest is counted:
// "...; and 120 more".
std::string sectors_text(const std::vector<DriveSectorAddress>& sectors);
// The tracks a write has finished: "tracks written: track 0 side 0 to track 11 side 1 (24 of 160)", or
// "no track was written".
std::string written_tracks_text(int tracks_done);
// One line on how a write ended: "160 tracks written and verified", "cancelled; tracks written: ...",
// "track 7 side 0: the disc is write-protected; no track was written".
std::string write_summary(const WriteReport& report);
// A drive failure in words: "the drive is not ready (is there a disc in it?)", with the drive's own words after.
std::string failure_text(const DriveResult& result);

} // namespace transfer
