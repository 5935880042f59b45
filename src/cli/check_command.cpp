#include "cli/cli.h"
#include "cli/collection.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "inspect/scan.h"

#include <algorithm>
#include <sstream>

namespace cli {
namespace {

ImageReport check_one(ImageAt& at, bool json)
{
    if (const auto* failure = std::get_if<common::Error>(&at.opened)) {
        // An image of the right size that cannot be opened shows the scan's first line; one of another size is
        // refused for its size, as it would be if it could be read.
        const std::int64_t size =
            (failure->kind == common::ErrorKind::Unopened) ? image::regular_file_size(at.path) : -1;
        const bool full_size = size == image::IMAGE_BYTES;
        ImageReport r = unreadable_report(at.shown, full_size || size < 0 ? failure->text : image::size_reason(size));
        if (full_size && !json)
            r.out = inspect::scan_first_line(at.label) + '\n';
        return r;
    }
    image::OpenImage& image = std::get<image::OpenImage>(at.opened);
    if (!image.scannable)
        return unreadable_report(at.shown, image::size_reason(image.raw_size));
    const inspect::ScanResult scan = inspect::scan_image(*image.source, json ? at.shown : at.label);
    ImageReport r;
    std::ostringstream err;
    report_findings(err, at.shown, image);
    r.err = err.str();
    r.code = scan.problems > 0 || !image.findings.empty() ? EXIT_PROBLEM : EXIT_OK;
    if (!json) {
        for (const std::string& line : scan.lines)
            r.out += line + '\n';
        return r;
    }
    Json findings = Json::array();
    for (const inspect::ScanFinding& finding : scan.findings) {
        Json item = {{"slot", finding.slot}};
        put_name(item, finding.name);
        item["kind"] = finding.kind;
        item["text"] = latin1_text(finding.text);
        findings.push_back(std::move(item));
    }
    std::vector<std::string> messages = image.notes;
    messages.insert(messages.end(), image.findings.begin(), image.findings.end());
    r.add_item({{"image", at.shown},
                {"files", scan.files},
                {"problems", scan.problems},
                {"findings", std::move(findings)},
                {"messages", messages}});
    return r;
}

int run_check(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.operands().empty())
        return missing(CHECK_COMMAND, "at least one IMAGE", err);
    const bool json = args.has("--json");
    const WalkOptions walk{args.has("-r"), args.has("-r"), false, json ? "images" : nullptr};
    return for_each_image(
               args.operands(), walk, [json](ImageAt& at) { return check_one(at, json); }, out, err)
        .code;
}

} // namespace

const Command CHECK_COMMAND = image_walk_command({
    .name = "check",
    .summary = "Integrity scan of each image: the lines the scan writes, then a summary and an empty line.\n"
               "Only images of exactly 819,200 bytes are scanned.",
    .example = "check -r discs/",
    .run = run_check,
});

} // namespace cli
