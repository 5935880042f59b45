#include "cli/cli.h"
#include "cli/commands.h"
#include "inspect/png_writer.h"
#include "inspect/screen.h"
#include "tape/extract.h"

#include <optional>

namespace cli {
namespace {

// The PNG goes to a temporary file beside `path` that only replaces it once complete, so a failed write leaves
// neither a half-written picture nor a damaged older one.
bool write_png(std::span<const inspect::Pixel> pixels, const std::string& path, std::ostream& err)
{
    const auto png = inspect::encode_png(pixels);
    if (!png) {
        report(err, path, "cannot encode the picture");
        return false;
    }
    return write_output(path, *png, "picture", err);
}

} // namespace

int run_screen(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_slot_args({"screen", "OUT.png", false, {}}, args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;

    std::optional<tape::Extracted> x = tape::extract_file(loaded->disc(), parsed->slot);
    if (!x) {
        report_slot(err, *parsed, "nothing extracted (only ZX Basic, arrays, code and screens of non-zero length are)");
        return EXIT_PROBLEM;
    }
    // Whatever the file's length, the picture is made of its first 6,912 bytes, zeros after a shorter file's end.
    x->data.resize(std::max(x->data.size(), inspect::SCREEN_BYTES), 0);
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(inspect::zx_palette(), x->data, pixels);
    return write_png(pixels, parsed->output, err) ? EXIT_OK : EXIT_PROBLEM;
}

} // namespace cli
