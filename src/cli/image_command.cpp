#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "cli/output.h"

#include <filesystem>
#include <optional>

namespace cli {
namespace {

struct ImageArgs
{
    std::string image;
    std::string output;
    bool force = false;
};

// Parses the arguments after "image"; on failure reports the usage error and returns std::nullopt.
std::optional<ImageArgs> parse_image_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("image", args, err);
    ImageArgs parsed;
    std::optional<std::string> image;
    std::optional<std::string> output;
    while (walk.next()) {
        if (walk.is("-o") || walk.is("--output")) {
            if (!walk.once(output.has_value(), "-o OUT") || !(output = walk.value()))
                return std::nullopt;
        } else if (walk.is("--force")) {
            parsed.force = true;
        } else if (!walk.image(image)) {
            return std::nullopt;
        }
    }
    if (!image || !output) {
        walk.missing(image ? "-o OUT.mgt or -o OUT.img" : "an IMAGE");
        return std::nullopt;
    }
    parsed.image = *image;
    parsed.output = *output;
    return parsed;
}

} // namespace

int run_image(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> rest = args;
    const bool json = take_option(rest, {"--json"});
    const auto parsed = parse_image_args(rest, err);
    if (!parsed)
        return EXIT_USAGE;
    const image::Layout layout = image::layout_from_path(parsed->output);
    if (layout == image::Layout::None)
        return usage_error(err, "the output of image must end in " + image::extensions_text(image::KindSet::Raw));
    auto output = Output::open(parsed->output, {parsed->image}, parsed->force, "image", err);
    if (!output)
        return EXIT_USAGE;
    auto opened = image::open_one_image(parsed->image);
    if (const auto* failure = std::get_if<image::OpenFailure>(&opened)) {
        report(err, parsed->image, failure->text);
        return EXIT_USAGE;
    }
    image::OpenImage& source = std::get<image::OpenImage>(opened);
    report_findings(err, parsed->image, source);

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(image::IMAGE_BYTES));
    int unread = 0;
    for (int track = 0; track < image::TRACKS_PER_SIDE; ++track) {
        for (int side = 0; side < image::SIDES; ++side) {
            const auto track_byte = static_cast<std::uint8_t>(track | (side != 0 ? image::SIDE_BIT : 0));
            for (int index = 0; index < image::SECTORS_PER_TRACK; ++index) {
                const auto at = static_cast<std::size_t>(image::sector_offset(layout, track_byte, index));
                const image::SectorSpan sector(bytes.data() + at, image::SECTOR_SIZE);
                if (source.source->read_sector(track_byte, index, sector) != image::SectorStatus::Ok)
                    ++unread;
            }
        }
    }
    if (!output->write(bytes))
        return EXIT_USAGE;
    std::vector<std::string> messages = source.notes;
    messages.insert(messages.end(), source.findings.begin(), source.findings.end());
    int code = EXIT_OK;
    if (unread > 0) {
        messages.push_back(std::to_string(unread) + " sectors missing or unreadable, written as zeros");
        report(err, parsed->image, messages.back());
        code = EXIT_PROBLEM;
    }
    if (source.raw_size != image::IMAGE_BYTES) {
        messages.push_back(image::size_reason(source.raw_size) + "; written as 819200 bytes");
        report(err, parsed->image, messages.back());
        code = EXIT_PROBLEM;
    }
    if (json)
        write_json(out, {{"image", parsed->image},
                         {"output", parsed->output},
                         {"size", source.raw_size},
                         {"unread_sectors", unread},
                         {"messages", messages}});
    return code;
}

} // namespace cli
