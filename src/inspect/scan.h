// The integrity scan of one disc image: for every used directory slot, the disc's own file header in the file's
// first sector is compared with the entry, and the sector chain is followed to check its links and its length.
// Findings come back as the lines the message pane shows, in order and with their exact texts (the long-standing
// grammar of the summaries included). Only images that open_image calls scannable (819,200 bytes) are scanned;
// the caller decides that.
#pragma once

#include "image/sector_source.h"

#include <string>
#include <string_view>
#include <vector>

namespace inspect {

// What each problem line is about, for callers that sort or count problems rather than show them. The kinds are
// stable words, one per kind of line.
namespace finding_kind {
inline constexpr std::string_view EXTRA_DIRECTORY_TRACKS = "extra-directory-tracks"; // slot 0 claims too many
inline constexpr std::string_view BAD_HEADER = "bad-header";                 // the file header differs from the entry
inline constexpr std::string_view BAD_TRACK_LINK = "bad-track-link";         // a link names a track no file has
inline constexpr std::string_view BAD_SECTOR_LINK = "bad-sector-link";       // a link names a sector above 10
inline constexpr std::string_view WRONG_SECTOR_COUNT = "wrong-sector-count"; // the chain and the count differ
} // namespace finding_kind

// One problem line with the slot whose entry it concerns and the entry's raw name.
struct ScanFinding
{
    int slot = 0;
    std::string name;
    std::string_view kind;
    std::string text; // the line as it stands in `lines`
};

struct ScanResult
{
    std::vector<std::string> lines;    // appended to the message pane as they stand; the last one is empty
    std::vector<ScanFinding> findings; // the problem lines among them, in the same order
    bool completed = false;            // the summary was reached
    int problems = 0;
    int files = 0;
};

// The scan's first line for an image shown as `shown_name` (the path as the user gave or clicked it). It is all
// that is shown of a scan when an image of the right size cannot be opened.
std::string scan_first_line(std::string_view shown_name);

// Scans the disc; damage never stops the scan.
ScanResult scan_image(image::SectorSource& disc, std::string_view shown_name);

} // namespace inspect
