#include "inspect/scan.h"

#include "common/bytes.h"
#include "common/path_text.h"
#include "image/directory.h"
#include "image/geometry.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

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

// Snapshots (5, 9), OpenType (10), Execute (11), UniDos Create (13) and the unnamed 14 and 15 carry no header
// that mirrors the entry, so only these ZX codes are compared.
constexpr std::array<int, 7> ZX_HEADER_TYPES = {1, 2, 3, 4, 6, 7, 8};

// Subdirectories: UNI-DOS (12) gives one a run of sectors holding 256-byte directory entries, whose last bytes
// are entry bytes, not links, and counts the sectors of the files inside it; MasterDOS (21) gives one no sectors
// at all and names the directory sector of its own entry as its first. Neither has a file header or a chain.
constexpr std::array<int, 2> SUBDIRECTORY_TYPES = {12, 21};

// A walk may run this many reads past the sector count before it is cut off as a loop.
constexpr int WALK_SLACK = 2;

constexpr const char* BAD_HEADER = " has probably bad internal header information";
constexpr const char* BAD_TRACK = " Bad sector end chunk for next track (Critical)";
constexpr const char* BAD_SECTOR = " Bad sector end chunk for next sector (Critical)";
constexpr const char* BAD_COUNT = " Wrong sector count, this is a critical problem";

using SectorBuffer = std::array<std::uint8_t, image::SECTOR_SIZE>;

bool is_scannable(const std::string& path)
{
    const std::string extension = common::lower_extension(path);
    if (extension != "mgt" && extension != "img" && extension != "dsk")
        return false;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    return !ec && size == static_cast<std::uintmax_t>(image::IMAGE_BYTES);
}

bool is_subdirectory(int code)
{
    return std::find(SUBDIRECTORY_TYPES.begin(), SUBDIRECTORY_TYPES.end(), code) != SUBDIRECTORY_TYPES.end();
}

bool is_header_bad(const image::DirectoryEntry& e, std::span<const std::uint8_t> first_sector)
{
    const int code = e.type_code();
    // Track 0 is the directory: a first sector there holds entries, never a file header, and an entry that has
    // sectors but names none gets the count line from its walk.
    if (is_subdirectory(code) || e.first_track == 0)
        return false;
    if (code >= image::FIRST_SAM_TYPE) {
        const std::uint16_t length = common::get_le16(first_sector, disc_header::LENGTH);
        return (first_sector[disc_header::TYPE] & image::TYPE_MASK) != code ||
               (length & image::SAM_OFFSET_MASK) != (e.sam_length & image::SAM_OFFSET_MASK) ||
               first_sector[disc_header::PAGE_COUNT] != e.sam_page_count;
    }
    if (std::find(ZX_HEADER_TYPES.begin(), ZX_HEADER_TYPES.end(), code) == ZX_HEADER_TYPES.end())
        return false;
    return common::get_le16(first_sector, disc_header::LENGTH) != e.zx_length ||
           common::get_le16(first_sector, disc_header::START) != e.zx_start;
}

// 0 ends a chain; the directory tracks 1-3 and the tracks beyond 79 on either side hold no file data.
bool is_bad_track(std::uint8_t track_byte)
{
    const int track = track_byte & image::TRACK_MASK;
    if (track >= image::TRACKS_PER_SIDE)
        return true;
    return (track_byte & image::SIDE_BIT) == 0 && track >= 1 && track < image::DIRECTORY_TRACKS;
}

class Scanner
{
public:
    Scanner(image::ImageFile& file, ScanResult& result) : m_file(file), m_result(result) {}

    void scan_slot(int slot)
    {
        const image::DirectoryEntry e = image::decode_directory_entry(image::read_entry_bytes(m_file, slot));
        if (!e.is_used())
            return;
        ++m_result.files;
        const std::string name = e.name();

        m_file.read_sector(e.first_track, e.first_sector - 1, m_sector);
        if (is_header_bad(e, m_sector))
            add_problem(name + BAD_HEADER);
        if (is_subdirectory(e.type_code()))
            return;

        int walked = 0;
        bool broken = false;
        std::uint8_t track = e.first_track;
        int sector_index = e.first_sector - 1;
        while (track != 0 && walked <= e.sector_count + WALK_SLACK) {
            m_file.read_sector(track, sector_index, m_sector);
            track = m_sector[image::data_sector::LINK_TRACK];
            sector_index = m_sector[image::data_sector::LINK_SECTOR] - 1;
            if (is_bad_track(track)) {
                add_problem(name + BAD_TRACK);
                broken = true;
            }
            // A sector number of 0 passes: the sector read pulls index -1 onto the track's first sector.
            if (m_sector[image::data_sector::LINK_SECTOR] > LAST_SECTOR_NUMBER) {
                add_problem(name + BAD_SECTOR);
                broken = true;
            }
            ++walked;
            if (broken)
                break;
        }
        if (broken || walked != e.sector_count)
            add_problem(name + BAD_COUNT);
    }

private:
    void add_problem(std::string line)
    {
        m_result.lines.push_back(std::move(line));
        ++m_result.problems;
    }

    image::ImageFile& m_file;
    ScanResult& m_result;
    SectorBuffer m_sector{};
};

} // namespace

ScanResult scan_image(const std::string& path)
{
    ScanResult result;
    if (!is_scannable(path))
        return result;
    result.lines.push_back("Scanning file: " + common::without_extension(path) + " ...");

    image::ImageFile file(path, image::layout_from_path(path));
    if (!file.is_open()) {
        result.open_error = file.open_error();
        return result;
    }
    Scanner scanner(file, result);
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot)
        scanner.scan_slot(slot);

    if (result.problems > 0) {
        result.lines.push_back("On image " + path + " " + std::to_string(result.problems) +
                               " possible errors has been found");
    } else {
        result.lines.push_back("On image " + path + " no errors has been found. " + std::to_string(result.files) +
                               " files found");
    }
    result.lines.emplace_back();
    result.completed = true;
    return result;
}

} // namespace inspect
