// Fuzz target: the integrity scan of an arbitrary image. Besides the sanitizers it checks the shape of the result:
// nothing for a file of the wrong size; otherwise the first line, one line per problem, the summary and an empty
// line, with at most one file per directory slot, and a finding with a kind and a slot for each problem line.
#include "fuzz_support.h"

#include "image/directory.h"
#include "inspect/scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "scan");
    image::OpenImage opened = fuzz::open_image(img);
    fuzz::require(opened.scannable == (img.bytes.size() == static_cast<std::size_t>(image::IMAGE_BYTES)),
                  "only images of exactly 819,200 bytes are scanned");
    if (!opened.scannable)
        return 0;
    const inspect::ScanResult result = inspect::scan_image(*opened.source, img.path);
    fuzz::require(result.completed, "a scan of a readable image completes");
    fuzz::require(result.lines.size() == static_cast<std::size_t>(result.problems) + 3,
                  "one line per problem between the first line and the summary");
    fuzz::require(result.lines.back().empty(), "the last line is empty");
    fuzz::require(result.findings.size() == static_cast<std::size_t>(result.problems), "a finding per problem");
    for (std::size_t n = 0; n < result.findings.size(); ++n) {
        const inspect::ScanFinding& finding = result.findings[n];
        fuzz::require(finding.text == result.lines[n + 1], "each finding is its problem line");
        fuzz::require(!finding.kind.empty() && finding.slot >= 0 && finding.slot < image::MAX_DIRECTORY_SLOTS,
                      "each finding has a kind and a slot");
    }
    fuzz::require(result.files >= 0 && result.files <= image::MAX_DIRECTORY_SLOTS, "at most one file per slot");
    return 0;
}
