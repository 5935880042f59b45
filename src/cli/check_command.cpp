#include "cli/cli.h"
#include "cli/commands.h"
#include "inspect/scan.h"

#include <algorithm>

namespace cli {

int run_check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const std::vector<std::string> paths = operands_of(args);
    if (paths.empty())
        return usage_error(err, "check needs at least one IMAGE");
    int code = EXIT_OK;
    for (const std::string& path : paths) {
        auto opened = image::open_one_image(path);
        if (const auto* failure = std::get_if<image::OpenFailure>(&opened)) {
            // An image of the right size that cannot be opened shows the scan's first line; one of another size is
            // refused for its size, as it would be if it could be read.
            const std::int64_t size = failure->file_unopened ? image::regular_file_size(path) : -1;
            const bool full_size = size == image::IMAGE_BYTES;
            if (full_size)
                out << inspect::scan_first_line(path) << '\n';
            report(err, path, full_size || size < 0 ? failure->reason : image::size_reason(size));
            code = std::max(code, EXIT_USAGE);
            continue;
        }
        image::OpenImage& image = std::get<image::OpenImage>(opened);
        if (!image.scannable) {
            report(err, path, image::size_reason(image.raw_size));
            code = std::max(code, EXIT_USAGE);
            continue;
        }
        const inspect::ScanResult scan = inspect::scan_image(*image.source, path);
        for (const std::string& line : scan.lines)
            out << line << '\n';
        report_findings(err, path, image);
        if (scan.problems > 0 || !image.findings.empty())
            code = std::max(code, EXIT_PROBLEM);
    }
    return code;
}

} // namespace cli
