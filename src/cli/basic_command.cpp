#include "basic/listing.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "common/bytes.h"
#include "tape/basic_rewrite.h"
#include "tape/extract.h"

#include <optional>

namespace cli {
int run_basic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto parsed = parse_slot_args({"basic", nullptr, false, {"--rewrite"}}, args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;

    std::optional<tape::Extracted> x = tape::extract_file(loaded->disc(), parsed->slot);
    if (!x || x->header[tape::header::TYPE] != tape::TAPE_PROGRAM) {
        report_slot(err, *parsed, "not a ZX BASIC program");
        return EXIT_PROBLEM;
    }
    // The conversion rewrites the whole data block, variables included; so does this, to list what the tape holds.
    if (parsed->has("--rewrite"))
        tape::rewrite_basic_loader(x->data);
    const basic::Listing listing = basic::list_program(x->data, common::get_le16(x->header, tape::header::PARAM2));
    for (const std::string& line : listing.lines)
        out << line << '\n';
    int code = warn_if_short(err, *parsed, x->chain) ? EXIT_PROBLEM : EXIT_OK;
    if (listing.damage) {
        const basic::Damage& damage = *listing.damage;
        report_slot(err, *parsed, "damage at byte " + std::to_string(damage.offset) + ": " + damage.reason);
        code = EXIT_PROBLEM;
    }
    return code;
}

} // namespace cli
