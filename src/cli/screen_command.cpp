#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "image/directory.h"
#include "inspect/png_writer.h"
#include "inspect/sam_screen.h"
#include "inspect/screen.h"
#include "tape/extract.h"
#include "tape/file_export.h"

#include <optional>
#include <variant>

namespace cli {
namespace {

constexpr int TYPE_SAM_SCREEN = 20;

// A SAM screen: its data after the disc header, decoded in the mode its entry keeps, at the mode's own size.
int write_sam_screen(const SlotArgs& args, image::SectorSource& disc, const image::EntryBytes& entry, Output& output,
                     std::ostream& err)
{
    auto exported = tape::export_file(disc, args.slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        report_slot(err, args, *reason);
        return EXIT_PROBLEM;
    }
    const auto& file = std::get<tape::ExportedFile>(exported);
    auto decoded = inspect::decode_sam_screen(file.bytes, entry[inspect::SAM_SCREEN_MODE_BYTE]);
    if (const auto* reason = std::get_if<std::string>(&decoded)) {
        report_slot(err, args, "not a SAM screen: " + *reason);
        return EXIT_PROBLEM;
    }
    const auto& picture = std::get<inspect::SamPicture>(decoded);
    const auto png = inspect::encode_png(picture.pixels, picture.width, picture.height);
    if (!png) {
        report(err, args.output, "cannot encode the picture");
        return EXIT_PROBLEM;
    }
    if (!output.write(*png))
        return EXIT_USAGE;
    return warn_if_short(err, args, file.chain) ? EXIT_PROBLEM : EXIT_OK;
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

    const image::EntryBytes entry = image::read_entry_bytes(loaded->disc(), parsed->slot);
    if (image::decode_directory_entry(entry).type_code() == TYPE_SAM_SCREEN)
        return write_sam_screen(*parsed, loaded->disc(), entry, *output, err);

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
