#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "inspect/png_writer.h"
#include "inspect/screen.h"
#include "tape/extract.h"

#include <optional>

namespace cli {
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

    std::optional<tape::Extracted> x = tape::extract_file(loaded->disc(), parsed->slot);
    if (!x) {
        report_slot(err, *parsed, "nothing extracted (only ZX Basic, arrays, code and screens of non-zero length are)");
        return EXIT_PROBLEM;
    }
    // Whatever the file's length, the picture is made of its first 6,912 bytes, zeros after a shorter file's end.
    // Zeros where the chain ended early are only missing data when they fall within those bytes.
    const bool short_picture = x->data.size() - x->chain.zero_bytes < inspect::SCREEN_BYTES;
    x->data.resize(std::max(x->data.size(), inspect::SCREEN_BYTES), 0);
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(inspect::zx_palette(), x->data, pixels);
    const auto png = inspect::encode_png(pixels);
    if (!png) {
        report(err, parsed->output, "cannot encode the picture");
        return EXIT_PROBLEM;
    }
    if (!output->write(*png))
        return EXIT_USAGE;
    return short_picture && warn_if_short(err, *parsed, x->chain) ? EXIT_PROBLEM : EXIT_OK;
}

} // namespace cli
