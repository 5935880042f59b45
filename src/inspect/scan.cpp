#include "inspect/scan.h"

#include "common/bytes.h"
#include "common/path_text.h"
#include "image/chain.h"
#include "image/directory.h"
#include "image/file_types.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace inspect {
namespace {

// Bytes 510 and 511 of a data sector link to the next one: its track byte and its number counted from 1.
constexpr int LAST_SECTOR_NUMBER = image::SECTORS_PER_TRACK;

// The disc's own file header at the start of a file's first sector.
namespace disc_header {
constexpr std::size_t TYPE = 0;
constexpr std::size_t LENGTH = 1;
constexpr std::size_t START = 3;
constexpr std::size_t PAGE_COUNT = 7;
} // namespace disc_header

// A walk may run this many reads past the sector count before it is cut off as a loop.
constexpr int WALK_SLACK = 2;

constexpr const char* BAD_HEADER = " has probably bad internal header information";
constexpr const char* BAD_TRACK = " Bad sector end chunk for next track (Critical)";
constexpr const char* BAD_SECTOR = " Bad sector end chunk for next sector (Critical)";
constexpr const char* BAD_COUNT = " Wrong sector count, this is a critical problem";

using SectorBuffer = std::array<std::uint8_t, image::SECTOR_SIZE>;

bool is_header_bad(const image::DirectoryEntry& e, std::span<const std::uint8_t> first_sector)
{
    const int code = e.type_code();
    // Track 0 is the directory: a first sector there holds entries, never a file header, and an entry that has
    // sectors but names none gets the count line from its walk.
    if (e.first_track == 0)
        return false;
    const image::HeaderCheck check = image::file_type(code).header_check;
    if (check == image::HeaderCheck::Sam) {
        const std::uint16_t length = common::get_le16(first_sector, disc_header::LENGTH);
        return image::type_code_of(first_sector[disc_header::TYPE]) != code ||
               (length & image::SAM_OFFSET_MASK) != (e.sam_length & image::SAM_OFFSET_MASK) ||
               first_sector[disc_header::PAGE_COUNT] != e.sam_page_count;
    }
    if (check != image::HeaderCheck::Zx)
        return false;
    return common::get_le16(first_sector, disc_header::LENGTH) != e.zx_length ||
           common::get_le16(first_sector, disc_header::START) != e.zx_start;
}

// 0 ends a chain; the other directory tracks and the tracks beyond 79 on either side hold no file data.
bool is_bad_track(std::uint8_t track_byte, int directory_tracks)
{
    const int track = track_byte & image::TRACK_MASK;
    if (track >= image::TRACKS_PER_SIDE)
        return true;
    return (track_byte & image::SIDE_BIT) == 0 && track >= 1 && track < directory_tracks;
}

class Scanner
{
public:
    Scanner(image::SectorSource& disc, ScanResult& result) : m_disc(disc), m_result(result) {}

    // Scans the directory, whose size the first entry gives.
    void scan_directory()
    {
        const image::EntryBytes first = image::read_entry_bytes(m_disc, 0);
        const image::DirectorySize size = image::decode_directory_size(first);
        m_directory_tracks = size.tracks;
        if (size.rejected_extra)
            add_problem(0, image::decode_directory_entry(first).name(), finding_kind::EXTRA_DIRECTORY_TRACKS,
                        "The first directory entry claims " + std::to_string(*size.rejected_extra) +
                            " extra directory tracks, more than " + std::to_string(image::MAX_EXTRA_DIRECTORY_TRACKS) +
                            "; only the first " + std::to_string(image::DIRECTORY_TRACKS) + " tracks were read");
        scan_entry(first, 0);
        for (int slot = 1; slot < size.slot_count(); ++slot)
            scan_entry(image::read_entry_bytes(m_disc, slot), slot);
    }

private:
    void scan_entry(const image::EntryBytes& bytes, int slot)
    {
        const image::DirectoryEntry e = image::decode_directory_entry(bytes);
        if (!e.is_used())
            return;
        ++m_result.files;
        const std::string name = e.name();

        if (is_header_bad(e, m_disc.view_sector(e.first_track, e.first_sector - 1, m_scratch)))
            add_problem(slot, name, finding_kind::BAD_HEADER, name + BAD_HEADER);
        if (image::file_type(e.type_code()).subdirectory)
            return;

        // A walk may run WALK_SLACK reads past the sector count before it is cut off as a loop. A sector number
        // of 0 passes: the sector read pulls index -1 onto the track's first sector.
        bool broken = false;
        const image::ChainRules rules{e.sector_count + WALK_SLACK + 1, false};
        const int walked =
            image::walk_chain(m_disc, {e.first_track, e.first_sector}, rules,
                              [&](std::span<const std::uint8_t, image::SECTOR_SIZE> sector, int) {
                                  const image::ChainLink next = image::link_of(sector);
                                  if (is_bad_track(next.track_byte, m_directory_tracks)) {
                                      add_problem(slot, name, finding_kind::BAD_TRACK_LINK, name + BAD_TRACK);
                                      broken = true;
                                  }
                                  if (next.sector_number > LAST_SECTOR_NUMBER) {
                                      add_problem(slot, name, finding_kind::BAD_SECTOR_LINK, name + BAD_SECTOR);
                                      broken = true;
                                  }
                                  return !broken;
                              });
        if (broken || walked != e.sector_count)
            add_problem(slot, name, finding_kind::WRONG_SECTOR_COUNT, name + BAD_COUNT);
    }

    void add_problem(int slot, std::string name, std::string_view kind, std::string line)
    {
        m_result.findings.push_back({slot, std::move(name), kind, line});
        m_result.lines.push_back(std::move(line));
        ++m_result.problems;
    }

    image::SectorSource& m_disc;
    ScanResult& m_result;
    SectorBuffer m_scratch{};
    int m_directory_tracks = image::DIRECTORY_TRACKS;
};

} // namespace

std::string scan_first_line(std::string_view shown_name)
{
    return "Scanning file: " + common::without_extension(shown_name) + " ...";
}

ScanResult scan_image(image::SectorSource& disc, std::string_view shown_name)
{
    ScanResult result;
    result.lines.push_back(scan_first_line(shown_name));
    Scanner(disc, result).scan_directory();

    const std::string shown(shown_name);
    if (result.problems > 0) {
        result.lines.push_back("On image " + shown + " " + std::to_string(result.problems) +
                               " possible errors has been found");
    } else {
        result.lines.push_back("On image " + shown + " no errors has been found. " + std::to_string(result.files) +
                               " files found");
    }
    result.lines.emplace_back();
    result.completed = true;
    return result;
}

} // namespace inspect
