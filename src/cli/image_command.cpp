#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "cli/output.h"
#include "image/plain_image.h"

#include <filesystem>
#include <optional>

namespace cli {
namespace {

int run_image(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.operands().empty() || !args.has("-o"))
        return missing(IMAGE_COMMAND, args.operands().empty() ? "an IMAGE" : "-o OUT.mgt or -o OUT.img", err);
    const std::string& path = args.operands().front();
    const std::string output_path = *args.value("-o");
    const image::Layout layout = image::layout_from_path(output_path);
    if (layout == image::Layout::None)
        return usage_error(err, "the output of image must end in " + image::extensions_text(image::KindSet::Raw));
    auto output = Output::open(output_path, {path}, args.has("--force"), "image", err);
    if (!output)
        return EXIT_USAGE;
    auto opened = open_reported(path, err);
    if (!opened)
        return EXIT_USAGE;
    image::OpenImage& source = *opened;
    report_findings(err, path, source);

    const image::PlainImage plain = image::plain_image(*source.source, layout);
    const int unread = plain.unread;
    if (!output->write(plain.bytes))
        return EXIT_USAGE;
    std::vector<std::string> messages = source.notes;
    messages.insert(messages.end(), source.findings.begin(), source.findings.end());
    int code = EXIT_OK;
    if (unread > 0) {
        messages.push_back(std::to_string(unread) + " sectors missing or unreadable, written as zeros");
        report(err, path, messages.back());
        code = EXIT_PROBLEM;
    }
    if (source.raw_size != image::IMAGE_BYTES) {
        messages.push_back(image::size_reason(source.raw_size) + "; written as 819200 bytes");
        report(err, path, messages.back());
        code = EXIT_PROBLEM;
    }
    if (args.has("--json"))
        write_json(out, {{"image", path},
                         {"output", output_path},
                         {"size", source.raw_size},
                         {"unread_sectors", unread},
                         {"messages", messages}});
    return code;
}

} // namespace

const Command IMAGE_COMMAND{
    .name = "image",
    .synopsis = "IMAGE -o OUT.mgt|OUT.img [--force] [--json]",
    .summary = "Writes the image as a plain 819,200-byte image in the layout of OUT's extension (.mgt and .dsk\n"
               "cylinder by cylinder, .img side after side). An existing OUT is only replaced with --force.",
    .options = {output_option("OUT", "the plain image written, in the layout its extension gives"), FORCE, JSON},
    .example = "image disc.sad -o disc.mgt",
    .run = run_image,
    .operands = ONE_IMAGE,
};

} // namespace cli
