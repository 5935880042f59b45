// The integrity scan of one disc image: for every used directory slot, the disc's own file header in the file's
// first sector is compared with the entry, and the sector chain is followed to check its links and its length.
// Findings come back as the lines the message pane shows, in order and with their exact texts (the long-standing
// grammar of the summaries included). Only files of exactly 819,200 bytes named .mgt, .dsk or .img are scanned.
#pragma once

#include <string>
#include <vector>

namespace inspect {

struct ScanResult
{
    std::vector<std::string> lines; // appended to the message pane as they stand; the last one is empty
    bool completed = false;         // the summary was reached
    int problems = 0;
    int files = 0;
    int open_error = 0; // errno when the image was of the right size but could not be opened
};

// Scans the image at `path`. Returns no line at all for a wrong extension, a wrong size, a missing file or a
// folder, and the first line alone when the file cannot be opened; damage never stops the scan.
ScanResult scan_image(const std::string& path);

} // namespace inspect
