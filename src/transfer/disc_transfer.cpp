#include "transfer/disc_transfer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <optional>

namespace transfer {
namespace {

// Odd sectors first, then even ones: a command for the very next sector ends after its header has passed the
// head, so reading 1, 2, 3... waits a whole turn of the disc per sector, while 1, 3, 5... waits one sector.
constexpr std::array<int, image::SECTORS_PER_TRACK> SECTOR_ORDER = {1, 3, 5, 7, 9, 2, 4, 6, 8, 10};

// Tracks go cylinder by cylinder: track 0 side 0, track 0 side 1, track 1 side 0, ...
int track_of(int index)
{
    return index / image::SIDES;
}

int side_of(int index)
{
    return index % image::SIDES;
}

std::uint8_t track_byte(int track, int side)
{
    return static_cast<std::uint8_t>(track | (side != 0 ? image::SIDE_BIT : 0));
}

bool is_cancelled(const Hooks& hooks)
{
    return hooks.is_cancelled && hooks.is_cancelled();
}

void announce(const Hooks& hooks, int index, int errors)
{
    if (hooks.on_track)
        hooks.on_track(Progress{track_of(index), side_of(index), index, errors});
}

std::string place_text(int track, int side)
{
    return "track " + std::to_string(track) + " side " + std::to_string(side);
}

std::string place_text(const SectorAddress& at)
{
    return place_text(at.track, at.side) + " sector " + std::to_string(at.sector);
}

image::SectorSpan sector_in(std::span<std::uint8_t> bytes, std::size_t offset)
{
    return image::SectorSpan(bytes.subspan(offset, image::SECTOR_SIZE));
}

// The bytes of one track of the image, sector 1 first.
void read_image_track(image::SectorSource& image, int track, int side, std::span<std::uint8_t> out)
{
    for (int index = 0; index < image::SECTORS_PER_TRACK; ++index)
        image.read_sector(track_byte(track, side), index,
                          sector_in(out, static_cast<std::size_t>(index) * image::SECTOR_SIZE));
}

// Reads one sector, trying again while the sector alone fails. std::nullopt when cancelled in between.
std::optional<DriveResult> read_with_retries(Drive& drive, const SectorAddress& at, image::SectorSpan out,
                                             const Hooks& hooks)
{
    DriveResult result;
    for (int attempt = 0; attempt < READ_ATTEMPTS; ++attempt) {
        if (attempt > 0 && is_cancelled(hooks))
            return std::nullopt;
        result = drive.read_sector(at.track, at.side, at.sector, out);
        if (result.status != DriveStatus::SectorError)
            break;
    }
    return result;
}

// Formats, writes and reads back one track once. The failure, with the sector it concerns where there is one.
struct TrackAttempt
{
    DriveResult result;
    std::string where;
};

TrackAttempt write_track(Drive& drive, int track, int side, std::span<const std::uint8_t> data)
{
    const std::string where = place_text(track, side);
    if (DriveResult formatted = drive.format_track(track, side); !formatted.ok())
        return {formatted, where};
    auto sector_data = [&](int sector) {
        return image::SectorView(
            data.subspan(static_cast<std::size_t>(sector - FIRST_SECTOR) * image::SECTOR_SIZE, image::SECTOR_SIZE));
    };
    for (const int sector : SECTOR_ORDER) {
        if (DriveResult written = drive.write_sector(track, side, sector, sector_data(sector)); !written.ok())
            return {written, place_text({track, side, sector})};
    }
    std::array<std::uint8_t, image::SECTOR_SIZE> back{};
    for (const int sector : SECTOR_ORDER) {
        const DriveResult read = drive.read_sector(track, side, sector, back);
        if (!read.ok())
            return {read, place_text({track, side, sector})};
        const auto expected = sector_data(sector);
        if (!std::equal(back.begin(), back.end(), expected.begin()))
            return {{DriveStatus::SectorError, "does not read back as written"}, place_text({track, side, sector})};
    }
    return {};
}

} // namespace

ReadReport read_disc(Drive& drive, image::Layout layout, const Hooks& hooks)
{
    assert(layout != image::Layout::None);
    ReadReport report;
    report.image.assign(static_cast<std::size_t>(image::IMAGE_BYTES), 0);
    for (int index = 0; index < TRACK_COUNT; ++index) {
        if (is_cancelled(hooks)) {
            report.outcome = Outcome::Cancelled;
            break;
        }
        announce(hooks, index, static_cast<int>(report.unreadable.size()));
        const int track = track_of(index);
        const int side = side_of(index);
        for (const int sector : SECTOR_ORDER) {
            const SectorAddress at{track, side, sector};
            const auto offset =
                static_cast<std::size_t>(image::sector_offset(layout, track_byte(track, side), sector - FIRST_SECTOR));
            const image::SectorSpan out = sector_in(report.image, offset);
            const std::optional<DriveResult> result = read_with_retries(drive, at, out, hooks);
            if (!result) {
                report.outcome = Outcome::Cancelled;
                break;
            }
            if (result->status == DriveStatus::SectorError) {
                std::fill(out.begin(), out.end(), std::uint8_t{0});
                report.unreadable.push_back(at);
            } else if (!result->ok()) {
                report.outcome = Outcome::Failed;
                report.failure = place_text(at) + ": " + failure_text(*result);
                break;
            }
        }
        if (report.outcome != Outcome::Done)
            break;
        report.tracks_done = index + 1;
    }
    if (report.outcome != Outcome::Done)
        report.image.clear();
    return report;
}

WriteReport write_disc(Drive& drive, image::SectorSource& image, const Hooks& hooks)
{
    WriteReport report;
    std::vector<std::uint8_t> data(TRACK_SIZE);
    for (int index = 0; index < TRACK_COUNT && report.outcome == Outcome::Done; ++index) {
        const int track = track_of(index);
        const int side = side_of(index);
        read_image_track(image, track, side, data);
        TrackAttempt attempt;
        for (int tries = 0; tries < WRITE_ATTEMPTS; ++tries) {
            if (is_cancelled(hooks)) {
                report.outcome = Outcome::Cancelled;
                break;
            }
            if (tries == 0)
                announce(hooks, index, report.retried_tracks);
            else if (tries == 1)
                ++report.retried_tracks;
            attempt = write_track(drive, track, side, data);
            // Only a sector that failed alone is worth another go; a missing disc or a protected one is not.
            if (attempt.result.status != DriveStatus::SectorError)
                break;
        }
        if (report.outcome != Outcome::Done)
            break;
        if (!attempt.result.ok()) {
            report.outcome = Outcome::Failed;
            report.failure = attempt.where + ": " + failure_text(attempt.result);
            break;
        }
        report.tracks_done = index + 1;
    }
    const DriveResult closed = drive.close();
    if (report.outcome == Outcome::Done && !closed.ok()) {
        report.outcome = Outcome::Failed;
        report.failure = "finishing the disc: " + failure_text(closed);
    }
    return report;
}

std::string unreadable_text(const SectorAddress& at)
{
    return place_text(at) + " unreadable";
}

std::string written_tracks_text(int tracks_done)
{
    if (tracks_done <= 0)
        return "no track was written";
    const int last = tracks_done - 1;
    return "tracks written: track 0 side 0 to " + place_text(track_of(last), side_of(last)) + " (" +
           std::to_string(tracks_done) + " of " + std::to_string(TRACK_COUNT) + ")";
}

std::string write_summary(const WriteReport& report)
{
    switch (report.outcome) {
    case Outcome::Done:
        return std::to_string(report.tracks_done) + " tracks written and verified";
    case Outcome::Cancelled:
        return "cancelled; " + written_tracks_text(report.tracks_done);
    case Outcome::Failed:
        break;
    }
    return report.failure + "; " + written_tracks_text(report.tracks_done);
}

std::string failure_text(const DriveResult& result)
{
    std::string text;
    switch (result.status) {
    case DriveStatus::Ok:
        return "no error";
    case DriveStatus::SectorError:
        return result.detail.empty() ? "sector error" : result.detail;
    case DriveStatus::NotReady:
        text = "the drive is not ready (is there a disc in it?)";
        break;
    case DriveStatus::WriteProtected:
        text = "the disc is write-protected";
        break;
    case DriveStatus::Failed:
        return result.detail.empty() ? "the drive failed" : result.detail;
    }
    return result.detail.empty() ? text : text + ": " + result.detail;
}

} // namespace transfer
