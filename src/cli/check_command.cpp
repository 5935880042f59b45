#include "cli/cli.h"
#include "cli/commands.h"
#include "inspect/scan.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace cli {
namespace {

// Why the scan of `path` stopped before its summary. The scan has already told a file it could not open (its
// first line was written) from one it did not try; the other reasons are looked up again here.
std::string reason_not_scanned(const std::string& path, const inspect::ScanResult& scan)
{
    if (image::layout_from_path(path) == image::Layout::None)
        return "not a disc image (the name must end in .mgt, .dsk or .img)";
    if (!scan.lines.empty())
        return image::open_error_text(scan.open_error);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return ec.message();
    return "size is " + std::to_string(size) + " bytes, not " + std::to_string(image::IMAGE_BYTES);
}

} // namespace

int run_check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return usage_error(err, "check needs at least one IMAGE");
    int code = EXIT_OK;
    for (const std::string& path : args) {
        const inspect::ScanResult scan = inspect::scan_image(path);
        for (const std::string& line : scan.lines)
            out << line << '\n';
        if (!scan.completed) {
            report(err, path, reason_not_scanned(path, scan));
            code = std::max(code, EXIT_USAGE);
        } else if (scan.problems > 0) {
            code = std::max(code, EXIT_PROBLEM);
        }
    }
    return code;
}

} // namespace cli
