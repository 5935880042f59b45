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

struct ScanResult
{
    std::vector<std::string> lines; // appended to the message pane as they stand; the last one is empty
    bool completed = false;         // the summary was reached
    int problems = 0;
    int files = 0;
};

// The scan's first line for an image shown as `shown_name` (the path as the user gave or clicked it). It is all
// that is shown of a scan when an image of the right size cannot be opened.
std::string scan_first_line(std::string_view shown_name);

// Scans the disc; damage never stops the scan.
ScanResult scan_image(image::SectorSource& disc, std::string_view shown_name);

} // namespace inspect
