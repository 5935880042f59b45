#include "cli/cli.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "inspect/png_writer.h"
#include "inspect/screen.h"
#include "tape/extract.h"

#include <optional>

namespace cli {
namespace {

struct ScreenArgs
{
    std::string image;
    int slot = -1;
    std::string output;
};

// Parses the arguments after "screen"; on failure reports the usage error and returns std::nullopt.
std::optional<ScreenArgs> parse_screen_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("screen", args, err);
    std::optional<std::string> image;
    std::optional<std::string> output;
    std::optional<int> slot;
    while (walk.next()) {
        if (walk.is("--slot")) {
            if (!walk.once(slot.has_value(), "--slot N") || !(slot = walk.slot()))
                return std::nullopt;
        } else if (walk.is("-o") || walk.is("--output")) {
            if (!walk.once(output.has_value(), "-o OUT.png") || !(output = walk.value()))
                return std::nullopt;
        } else if (!walk.image(image)) {
            return std::nullopt;
        }
    }
    if (!image || !slot || !output) {
        walk.missing("IMAGE, --slot N and -o OUT.png");
        return std::nullopt;
    }
    return ScreenArgs{*image, *slot, *output};
}

// The PNG goes to a temporary file beside `path` that only replaces it once complete, so a failed write leaves
// neither a half-written picture nor a damaged older one.
bool write_png(std::span<const inspect::Pixel> pixels, const std::string& path, std::ostream& err)
{
    const auto png = inspect::encode_png(pixels);
    if (!png) {
        report(err, path, "cannot encode the picture");
        return false;
    }
    if (const auto error = common::write_file_atomically(path, *png)) {
        report(err, path, "cannot write the picture: " + *error);
        return false;
    }
    return true;
}

} // namespace

int run_screen(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_screen_args(args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_image(parsed->image, err);
    if (!loaded)
        return EXIT_USAGE;
    const std::string slot_text = "slot " + std::to_string(parsed->slot);
    if (!require_listed(*loaded, parsed->slot, err))
        return EXIT_USAGE;

    std::optional<tape::Extracted> x = tape::extract_file(loaded->disc(), parsed->slot);
    if (!x) {
        report(err, parsed->image,
               slot_text + ": nothing extracted (only ZX Basic, arrays, code and screens of non-zero length are)");
        return EXIT_PROBLEM;
    }
    // Whatever the file's length, the picture is made of its first 6,912 bytes, zeros after a shorter file's end.
    x->data.resize(std::max(x->data.size(), inspect::SCREEN_BYTES), 0);
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(inspect::zx_palette(), x->data, pixels);
    return write_png(pixels, parsed->output, err) ? EXIT_OK : EXIT_PROBLEM;
}

} // namespace cli
