#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "inspect/png_writer.h"
#include "inspect/screen.h"
#include "inspect/slot_screen.h"

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

} // namespace cli
