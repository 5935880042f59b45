// Fuzz target: the integrity scan of an arbitrary image. Besides the sanitizers it checks the shape of the result:
// nothing for a file of the wrong size; otherwise the first line, one line per problem, the summary and an empty
// line, with at most one file per directory slot.
#include "fuzz_support.h"

#include "image/directory.h"
#include "inspect/scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "scan");
    const inspect::ScanResult result = inspect::scan_image(img.path);
    if (img.bytes.size() != static_cast<std::size_t>(image::IMAGE_BYTES)) {
        fuzz::require(result.lines.empty() && !result.completed, "only images of exactly 819,200 bytes are scanned");
        return 0;
    }
    fuzz::require(result.completed && result.open_error == 0, "a scan of a readable image completes");
    fuzz::require(result.lines.size() == static_cast<std::size_t>(result.problems) + 3,
                  "one line per problem between the first line and the summary");
    fuzz::require(result.lines.back().empty(), "the last line is empty");
    fuzz::require(result.files >= 0 && result.files <= image::DIRECTORY_SLOTS, "at most one file per slot");
    return 0;
}
