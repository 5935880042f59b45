#include "cli/cli.h"
#include "cli/collection.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "common/number_text.h"

#include <sstream>

namespace cli {
namespace {

// The end of the directory in the image's bytes: its last sector (track 3, side 0, sector 10) in that layout.
std::int64_t directory_end(image::Layout layout)
{
    constexpr std::uint8_t LAST_DIRECTORY_TRACK = image::DIRECTORY_TRACKS - 1;
    return image::sector_offset(layout, LAST_DIRECTORY_TRACK, image::SECTORS_PER_TRACK - 1) +
           static_cast<std::int64_t>(image::SECTOR_SIZE);
}

// What list says of a raw image of another size than a disc's: how many bytes a short one lacks (they read as
// zeros) and whether its directory is cut, or how many a long one has beyond the disc (never read).
std::string odd_size_text(std::int64_t size, image::Layout layout)
{
    if (size == 0)
        return "empty: it holds no directory";
    if (size > image::IMAGE_BYTES)
        return common::grouped(static_cast<std::uint64_t>(size)) + " bytes, " +
               common::grouped(static_cast<std::uint64_t>(size - image::IMAGE_BYTES)) + " more than " +
               common::grouped(image::IMAGE_BYTES) + "; only the first " + common::grouped(image::IMAGE_BYTES) +
               " are read";
    const auto missing = static_cast<std::uint64_t>(image::IMAGE_BYTES - size);
    const std::string text = common::grouped(static_cast<std::uint64_t>(size)) + " bytes, " + common::grouped(missing) +
                             " short of " + common::grouped(image::IMAGE_BYTES) + "; ";
    if (size < directory_end(layout))
        return text + "it holds no full directory (the missing bytes read as zeros)";
    return text + "the missing bytes read as zeros";
}

int run_list(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.operands().empty())
        return missing(LIST_COMMAND, "at least one IMAGE", err);
    const bool json = args.has("--json");
    const bool recursive = args.has("-r");
    // One image named alone is listed as it always was; several, or a walk, start each line with the image.
    const bool prefix = recursive || args.operands().size() > 1;
    const WalkOptions walk{recursive, recursive, true, json ? "images" : nullptr};
    const CollectionResult result = for_each_image(
        args.operands(), walk,
        [&](ImageAt& at) {
            if (const auto* failure = std::get_if<common::Error>(&at.opened))
                return unreadable_report(at.shown, failure->text);
            image::OpenImage& opened = std::get<image::OpenImage>(at.opened);
            ImageReport r;
            std::vector<std::string> messages = opened.notes;
            messages.insert(messages.end(), opened.findings.begin(), opened.findings.end());
            // Damage a container's reader met is a problem; so is a raw image of another size than a disc's.
            r.code = opened.findings.empty() ? EXIT_OK : EXIT_PROBLEM;
            if (!opened.scannable) {
                messages.push_back(odd_size_text(opened.raw_size, opened.layout));
                r.code = EXIT_PROBLEM;
            }
            const image::Catalogue catalogue = image::read_directory(*opened.source);
            std::string text;
            for (const image::CatalogueRow& row : catalogue) {
                if (json)
                    continue;
                if (prefix)
                    text += at.label + '\t';
                for (const std::string& cell : image::cell_texts(row))
                    text += cell + '\t';
                text += std::to_string(row.slot) + '\n';
            }
            std::ostringstream lines;
            for (const std::string& message : messages)
                report(lines, at.shown, message);
            r.out = std::move(text);
            r.err = lines.str();
            if (json) {
                const image::DirectorySize size = image::read_directory_size(*opened.source);
                r.write_item([&](JsonWriter& item) {
                    item.open_object();
                    item.member("image").text(at.shown);
                    item.member("dos").text(image::dos_key(size.dos));
                    if (size.label.empty())
                        item.member("label").null();
                    else
                        item.member("label").text(latin1_text(size.label));
                    item.member("directory_tracks").number(size.tracks);
                    item.member("files").open_array();
                    for (const image::CatalogueRow& row : catalogue)
                        write_file(item, row);
                    item.close_array();
                    item.member("messages").open_array();
                    for (const std::string& message : messages)
                        item.text(message);
                    item.close_array();
                    item.close_object();
                });
            }
            return r;
        },
        out, err);
    return result.code;
}

} // namespace

const Command LIST_COMMAND = image_walk_command({
    .name = "list",
    .summary = "One line per listed file: name, start, length, attributes, type, start sector, start track,\n"
               "sector count and directory slot, separated by TAB. Names are the raw bytes stored on the disc.\n"
               "With several images or -r, each line starts with the image and a TAB.",
    .example = "list game.mgt",
    .run = run_list,
});

} // namespace cli
