#include "cli/cli.h"
#include "cli/commands.h"
#include "common/number_text.h"

namespace cli {
namespace {

// The end of the directory in the image's bytes: its last sector (track 3, side 0, sector 10) in that layout.
std::int64_t directory_end(image::Layout layout)
{
    constexpr std::uint8_t LAST_DIRECTORY_TRACK = image::DIRECTORY_TRACKS - 1;
    return image::sector_offset(layout, LAST_DIRECTORY_TRACK, image::SECTORS_PER_TRACK - 1) +
           static_cast<std::int64_t>(image::SECTOR_SIZE);
}

// What list says of an image shorter than a disc, whose missing bytes read as zeros: how many bytes it lacks, and
// whether the directory is cut.
std::string short_image_text(std::int64_t size, image::Layout layout)
{
    if (size == 0)
        return "empty: it holds no directory";
    const auto missing = static_cast<std::uint64_t>(image::IMAGE_BYTES - size);
    const std::string text = common::grouped(static_cast<std::uint64_t>(size)) + " bytes, " + common::grouped(missing) +
                             " short of " + common::grouped(image::IMAGE_BYTES) + "; ";
    if (size < directory_end(layout))
        return text + "it holds no full directory (the missing bytes read as zeros)";
    return text + "the missing bytes read as zeros";
}

} // namespace

int run_list(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const std::vector<std::string> operands = operands_of(args);
    if (operands.size() != 1)
        return usage_error(err, "list takes exactly one IMAGE");
    const auto loaded = load_image(operands.front(), err);
    if (!loaded)
        return EXIT_USAGE;
    for (const image::CatalogueRow& row : loaded->catalogue) {
        for (const std::string& cell : image::cell_texts(row))
            out << cell << '\t';
        out << row.slot << '\n';
    }
    // Damage a container's reader met was reported while loading; a raw image too short leaves sectors zero.
    int code = loaded->image.findings.empty() ? EXIT_OK : EXIT_PROBLEM;
    if (!loaded->image.scannable && loaded->image.raw_size < image::IMAGE_BYTES) {
        report(err, loaded->path, short_image_text(loaded->image.raw_size, loaded->image.layout));
        code = EXIT_PROBLEM;
    }
    return code;
}

} // namespace cli
