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

// A SAM screen, written at its mode's own size.
int write_sam_screen(const SlotArgs& args, image::SectorSource& disc, Output& output, std::ostream& err)
{
    auto screen = inspect::read_slot_sam_screen(disc, args.slot);
    if (const auto* reason = std::get_if<std::string>(&screen)) {
        report_slot(err, args, *reason);
        return EXIT_PROBLEM;
    }
    const auto& sam = std::get<inspect::SlotSamScreen>(screen);
    const auto png = inspect::encode_png(sam.picture.pixels, sam.picture.width, sam.picture.height);
    if (!png) {
        report(err, args.output, "cannot encode the picture");
        return EXIT_PROBLEM;
    }
    if (!output.write(*png))
        return EXIT_USAGE;
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

} // namespace

int run_screen(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_slot_args({"screen", "OUT.png", true, {}}, args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;
    auto output = Output::open(parsed->output, {parsed->image}, parsed->force, "picture", err);
    if (!output)
        return EXIT_USAGE;

    if (inspect::is_sam_screen_slot(loaded->disc(), parsed->slot))
        return write_sam_screen(*parsed, loaded->disc(), *output, err);

    const auto screen = inspect::read_slot_screen(loaded->disc(), parsed->slot);
    if (!screen) {
        report_slot(err, *parsed, "nothing extracted (only ZX Basic, arrays, code and screens of non-zero length are)");
        return EXIT_PROBLEM;
    }
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(inspect::zx_palette(), screen->bytes, pixels);
    const auto png = inspect::encode_png(pixels);
    if (!png) {
        report(err, parsed->output, "cannot encode the picture");
        return EXIT_PROBLEM;
    }
    if (!output->write(*png))
        return EXIT_USAGE;
    // Zeros where the chain ended early are only missing data when they fall within the picture.
    return screen->incomplete && warn_if_short(err, *parsed, screen->chain) ? EXIT_PROBLEM : EXIT_OK;
}

int run_thumbnail(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    ArgWalker walk("thumbnail", args, err);
    std::optional<std::string> image;
    std::optional<std::string> output;
    std::optional<int> size;
    bool force = false;
    while (walk.next()) {
        if (walk.is("--size")) {
            std::optional<std::string> text;
            if (!walk.once(size.has_value(), "--size N") || !(text = walk.value()))
                return EXIT_USAGE;
            if (!(size = parse_size(*text)))
                return usage_error(err, "invalid size '" + *text + "' (1-" +
                                            std::to_string(inspect::MAX_THUMBNAIL_SIZE) + ")");
        } else if (walk.is("--force")) {
            force = true;
        } else if (!walk.is_operand()) {
            return walk.unknown_option(), EXIT_USAGE;
        } else if (!image) {
            image = walk.arg();
        } else if (!output) {
            output = walk.arg();
        } else {
            return usage_error(err, "thumbnail takes one IMAGE and one OUT.png");
        }
    }
    if (!output)
        return walk.missing("IMAGE and OUT.png"), EXIT_USAGE;
    // A preview: what the reader met on the way is for `check` to say.
    auto opened = image::open_one_image(*image);
    if (const auto* failure = std::get_if<image::OpenFailure>(&opened)) {
        report(err, *image, failure->text);
        return EXIT_USAGE;
    }
    auto out_file = Output::open(*output, {*image}, force, "picture", err);
    if (!out_file)
        return EXIT_USAGE;
    const auto picture =
        inspect::thumbnail(*std::get<image::OpenImage>(opened).source, size.value_or(DEFAULT_THUMBNAIL_SIZE));
    const auto png = inspect::encode_png(picture.pixels, picture.width, picture.height);
    if (!png) {
        report(err, *output, "cannot encode the picture");
        return EXIT_PROBLEM;
    }
    return out_file->write(*png) ? EXIT_OK : EXIT_USAGE;
}

} // namespace cli
