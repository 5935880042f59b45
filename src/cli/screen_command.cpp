#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "inspect/png_writer.h"
#include "inspect/screen.h"
#include "inspect/slot_screen.h"
#include "inspect/thumbnail.h"

#include <charconv>

namespace cli {
namespace {

// Writes the picture; EXIT_OK when it was written, else the failure's code, reported.
int write_png(Output& output, const std::optional<std::vector<std::uint8_t>>& png, std::ostream& err)
{
    if (!png) {
        report(err, output.path(), "cannot encode the picture");
        return EXIT_PROBLEM;
    }
    return output.write(*png) ? EXIT_OK : EXIT_USAGE;
}

// A SAM screen, written at its mode's own size.
int write_sam_screen(const SlotArgs& args, image::SectorSource& disc, Output& output, std::ostream& err)
{
    auto screen = inspect::read_slot_sam_screen(disc, args.slot);
    if (const auto* reason = std::get_if<std::string>(&screen)) {
        report_slot(err, args, *reason);
        return EXIT_PROBLEM;
    }
    const auto& sam = std::get<inspect::SlotSamScreen>(screen);
    const int code =
        write_png(output, inspect::encode_png(sam.picture.pixels, sam.picture.width, sam.picture.height), err);
    if (code != EXIT_OK)
        return code;
    return warn_if_short(err, args, sam.chain) ? EXIT_PROBLEM : EXIT_OK;
}

constexpr int DEFAULT_THUMBNAIL_SIZE = 128;

std::optional<int> parse_size(const std::string& text)
{
    int size = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, size);
    if (text.empty() || ec != std::errc() || ptr != end || size < 1 || size > inspect::MAX_THUMBNAIL_SIZE)
        return std::nullopt;
    return size;
}

std::string check_size(const std::string& text)
{
    if (parse_size(text))
        return "";
    return "invalid size '" + text + "' (1-" + std::to_string(inspect::MAX_THUMBNAIL_SIZE) + ")";
}

int run_screen(const Args& args, std::ostream&, std::ostream& err)
{
    auto opened = open_slot_output(SCREEN_COMMAND, args, "picture", err);
    if (!opened)
        return EXIT_USAGE;
    const SlotArgs& parsed = opened->args;
    image::SectorSource& disc = opened->loaded.disc();
    if (inspect::is_sam_screen_slot(disc, parsed.slot))
        return write_sam_screen(parsed, disc, opened->output, err);

    const auto screen = inspect::read_slot_screen(disc, parsed.slot);
    if (!screen) {
        report_slot(err, parsed, "nothing extracted (only ZX Basic, arrays, code and screens of non-zero length are)");
        return EXIT_PROBLEM;
    }
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(inspect::zx_palette(), screen->bytes, pixels);
    if (const int code = write_png(opened->output, inspect::encode_png(pixels), err); code != EXIT_OK)
        return code;
    // Zeros where the chain ended early are only missing data when they fall within the picture.
    return screen->incomplete && warn_if_short(err, parsed, screen->chain) ? EXIT_PROBLEM : EXIT_OK;
}

int run_thumbnail(const Args& args, std::ostream&, std::ostream& err)
{
    if (args.operands().size() < 2)
        return missing(THUMBNAIL_COMMAND, "IMAGE and OUT.png", err);
    const std::string& image = args.operands()[0];
    const std::string& output = args.operands()[1];
    // A preview: what the reader met on the way is for `check` to say.
    const auto opened = open_reported(image, err);
    if (!opened)
        return EXIT_USAGE;
    auto out_file = Output::open(output, {image}, args.has("--force"), "picture", err);
    if (!out_file)
        return EXIT_USAGE;
    const int size = args.value("--size") ? *parse_size(*args.value("--size")) : DEFAULT_THUMBNAIL_SIZE;
    const auto picture = inspect::thumbnail(*opened->source, size);
    return write_png(*out_file, inspect::encode_png(picture.pixels, picture.width, picture.height), err);
}

} // namespace

const Command SCREEN_COMMAND = slot_output_command({
    .name = "screen",
    .summary = "Writes the screen in slot N as a PNG picture: the first 6,912 bytes of a ZX file at 256 x 192, a\n"
               "SAM Screen in the mode its entry keeps (MODE 3 at 512 x 192). An existing OUT is only replaced\n"
               "with --force.",
    .output = output_option("OUT.png", "the picture written"),
    .example = "screen game.mgt --slot 2 -o title.png",
    .run = run_screen,
});

const Command THUMBNAIL_COMMAND{
    .name = "thumbnail",
    .synopsis = "IMAGE OUT.png [--size N] [--force]",
    .summary = "Draws the image's first screen (ZX or SAM), or for a disc without one a picture of its files,\n"
               "scaled to fit N x N pixels (1-1024, default 128): the picture file managers show for it.",
    .options = {{"--size", nullptr, "N", "the largest width and height of the picture (1-1024, default 128)", false,
                 check_size},
                flag("--force", "replace an existing OUT.png, as file managers want")},
    .example = "thumbnail game.mgt game.png --size 256",
    .run = run_thumbnail,
    .operands = {2, "takes one IMAGE and one OUT.png"},
};

} // namespace cli
