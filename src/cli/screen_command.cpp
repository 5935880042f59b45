#include "cli/cli.h"
#include "cli/commands.h"
#include "inspect/screen.h"
#include "tape/extract.h"

#include <QFile>
#include <QImage>
#include <QSaveFile>

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
    constexpr QRgb OPAQUE_ALPHA = 0xFF000000;
    QImage picture(inspect::SCREEN_WIDTH, inspect::SCREEN_HEIGHT, QImage::Format_RGB32);
    for (int y = 0; y < inspect::SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < inspect::SCREEN_WIDTH; ++x)
            picture.setPixel(x, y, OPAQUE_ALPHA | pixels[static_cast<std::size_t>(y * inspect::SCREEN_WIDTH + x)]);
    }
    QSaveFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::WriteOnly)) {
        report(err, path, file.errorString().toStdString());
        return false;
    }
    if (!picture.save(&file, "PNG") || !file.commit()) {
        report(err, path, "cannot write the picture: " + file.errorString().toStdString());
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
    const auto loaded = load_image(parsed->image, err);
    if (!loaded)
        return EXIT_USAGE;
    const auto& rows = loaded->catalogue;
    const std::string slot_text = "slot " + std::to_string(parsed->slot);
    if (!slot_listed(rows, parsed->slot)) {
        report(err, parsed->image, "no file in " + slot_text);
        return EXIT_USAGE;
    }

    // Whatever the file's length, the picture is made of the first 6,912 bytes of the data buffer.
    tape::Workspace ws;
    if (tape::extract_file(loaded->path, loaded->layout, parsed->slot, ws) == 0) {
        report(err, parsed->image,
               slot_text + ": nothing extracted (only ZX Basic, arrays, code and screens of non-zero length are)");
        return EXIT_PROBLEM;
    }
    const inspect::PixelTable table = inspect::build_pixel_table();
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(table, ws.data, pixels);
    return write_png(pixels, parsed->output, err) ? EXIT_OK : EXIT_PROBLEM;
}

} // namespace cli
