#include "transfer/disc_transfer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <optional>
#include <tuple>

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

std::string place_text(const DriveSectorAddress& at)
{
    return image::track_text(at.track, at.side) + " sector " + std::to_string(at.sector);
}

image::SectorSpan sector_in(std::span<std::uint8_t> bytes, std::size_t offset)
{
    return image::SectorSpan(bytes.subspan(offset, image::SECTOR_SIZE));
}

// Places named in a list of sectors before the rest is only counted.
constexpr std::size_t LISTED_PLACES = 8;

// One place in a list of sectors: some sectors of one track, or every sector of a run of tracks.
struct Place
{
    int first = 0; // track index (track * 2 + side)
    int last = 0;
    std::vector<int> sectors; // of a track not wholly listed
};

// Reads one sector, trying again while the sector alone fails. std::nullopt when cancelled in between.
std::optional<DriveResult> read_with_retries(Drive& drive, const DriveSectorAddress& at, image::SectorSpan out,
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
    const std::string where = image::track_text(track, side);
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
            const DriveSectorAddress at{track, side, sector};
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

DiscCopy copy_disc(image::SectorSource& image)
{
    DiscCopy copy;
    copy.bytes.assign(static_cast<std::size_t>(image::IMAGE_BYTES), 0);
    for (int index = 0; index < TRACK_COUNT; ++index) {
        for (int sector = 0; sector < image::SECTORS_PER_TRACK; ++sector) {
            const auto offset =
                static_cast<std::size_t>(index * image::SECTORS_PER_TRACK + sector) * image::SECTOR_SIZE;
            const image::SectorSpan out = sector_in(copy.bytes, offset);
            if (image.read_sector(track_byte(track_of(index), side_of(index)), sector, out) !=
                image::SectorStatus::Ok) {
                std::fill(out.begin(), out.end(), std::uint8_t{0});
                copy.missing.push_back({track_of(index), side_of(index), sector + FIRST_SECTOR});
            }
        }
    }
    return copy;
}

WriteReport write_disc(Drive& drive, std::span<const std::uint8_t> disc, const Hooks& hooks)
{
    assert(disc.size() == static_cast<std::size_t>(image::IMAGE_BYTES));
    WriteReport report;
    for (int index = 0; index < TRACK_COUNT && report.outcome == Outcome::Done; ++index) {
        const int track = track_of(index);
        const int side = side_of(index);
        const auto data = disc.subspan(static_cast<std::size_t>(index) * TRACK_SIZE, TRACK_SIZE);
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

std::string unreadable_text(const DriveSectorAddress& at)
{
    return place_text(at) + " unreadable";
}

std::string sectors_text(const std::vector<DriveSectorAddress>& sectors)
{
    std::vector<DriveSectorAddress> sorted = sectors;
    std::sort(sorted.begin(), sorted.end(), [](const DriveSectorAddress& a, const DriveSectorAddress& b) {
        return std::tuple(a.track, a.side, a.sector) < std::tuple(b.track, b.side, b.sector);
    });
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<Place> places;
    for (std::size_t at = 0; at < sorted.size();) {
        const int index = sorted[at].track * image::SIDES + sorted[at].side;
        std::vector<int> numbers;
        for (; at < sorted.size() && sorted[at].track * image::SIDES + sorted[at].side == index; ++at)
            numbers.push_back(sorted[at].sector);
        const bool whole = numbers.size() == static_cast<std::size_t>(image::SECTORS_PER_TRACK);
        if (whole && !places.empty() && places.back().sectors.empty() && places.back().last == index - 1)
            places.back().last = index;
        else
            places.push_back({index, index, whole ? std::vector<int>{} : numbers});
    }
    const std::size_t count = sorted.size();
    std::string text = std::to_string(count) + (count == 1 ? " sector: " : " sectors: ");
    std::size_t listed = 0;
    for (std::size_t i = 0; i < places.size() && i < LISTED_PLACES; ++i) {
        const Place& place = places[i];
        text += (i > 0 ? "; " : "") + image::track_text(track_of(place.first), side_of(place.first));
        if (place.sectors.empty()) {
            if (place.last != place.first)
                text += " to " + image::track_text(track_of(place.last), side_of(place.last));
            text += " (every sector)";
            listed += static_cast<std::size_t>(place.last - place.first + 1) * image::SECTORS_PER_TRACK;
            continue;
        }
        text += place.sectors.size() == 1 ? " sector " : " sectors ";
        for (std::size_t n = 0; n < place.sectors.size(); ++n)
            text += (n > 0 ? ", " : "") + std::to_string(place.sectors[n]);
        listed += place.sectors.size();
    }
    if (listed < count)
        text += "; and " + std::to_string(count - listed) + " more";
    return text;
}

std::string written_tracks_text(int tracks_done)
{
    if (tracks_done <= 0)
        return "no track was written";
    const int last = tracks_done - 1;
    return "tracks written: track 0 side 0 to " + image::track_text(track_of(last), side_of(last)) + " (" +
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
