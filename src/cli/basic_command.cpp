#include "basic/listing.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "common/bytes.h"
#include "tape/basic_rewrite.h"
#include "tape/extract.h"

#include <optional>

namespace cli {
namespace {

struct BasicArgs
{
    std::string image;
    int slot = -1;
    bool rewrite = false;
};

// Parses the arguments after "basic"; on failure reports the usage error and returns std::nullopt.
std::optional<BasicArgs> parse_basic_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("basic", args, err);
    std::optional<std::string> image;
    std::optional<int> slot;
    bool rewrite = false;
    while (walk.next()) {
        if (walk.is("--slot")) {
            if (!walk.once(slot.has_value(), "--slot N") || !(slot = walk.slot()))
                return std::nullopt;
        } else if (walk.is("--rewrite")) {
            rewrite = true;
        } else if (!walk.image(image)) {
            return std::nullopt;
        }
    }
    if (!image || !slot) {
        walk.missing("IMAGE and --slot N");
        return std::nullopt;
    }
    return BasicArgs{*image, *slot, rewrite};
}

} // namespace

int run_basic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto parsed = parse_basic_args(args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_image(parsed->image, err);
    if (!loaded)
        return EXIT_USAGE;
    const std::string slot_text = "slot " + std::to_string(parsed->slot);
    if (!slot_listed(loaded->catalogue, parsed->slot)) {
        report(err, parsed->image, "no file in " + slot_text);
        return EXIT_USAGE;
    }

    std::optional<tape::Extracted> x = tape::extract_file(loaded->disc(), parsed->slot);
    if (!x || x->header[tape::header::TYPE] != tape::TAPE_PROGRAM) {
        report(err, parsed->image, slot_text + ": not a ZX BASIC program");
        return EXIT_PROBLEM;
    }
    // The conversion rewrites the whole data block, variables included; so does this, to list what the tape holds.
    if (parsed->rewrite)
        tape::rewrite_basic_loader(x->data);
    const basic::Listing listing = basic::list_program(x->data, common::get_le16(x->header, tape::header::PARAM2));
    for (const std::string& line : listing.lines)
        out << line << '\n';
    if (listing.damage) {
        const basic::Damage& damage = *listing.damage;
        report(err, parsed->image,
               slot_text + ": damage at byte " + std::to_string(damage.offset) + ": " + damage.reason);
        return EXIT_PROBLEM;
    }
    return EXIT_OK;
}

} // namespace cli
