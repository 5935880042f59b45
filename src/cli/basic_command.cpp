#include "basic/slot_listing.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "image/directory.h"

namespace cli {
namespace {

int run_basic(const Args& args, std::ostream& out, std::ostream& err)
{
    const auto parsed = slot_args(BASIC_COMMAND, args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;

    if (args.has("--rewrite") &&
        image::decode_directory_entry(image::read_entry_bytes(loaded->disc(), parsed->slot)).type_code() ==
            image::TYPE_SAM_BASIC) {
        report_slot(err, *parsed, "--rewrite applies to ZX BASIC programs only");
        return EXIT_USAGE;
    }
    const auto listed = basic::list_slot(loaded->disc(), parsed->slot, args.has("--rewrite"));
    if (!listed) {
        report_slot(err, *parsed, "not a ZX BASIC program");
        return EXIT_PROBLEM;
    }
    if (args.has("--json")) {
        const basic::Damage* damage = listed->listing.damage ? &*listed->listing.damage : nullptr;
        Json document = {{"image", parsed->image}, {"slot", parsed->slot}};
        put_name(document, image::decode_directory_entry(image::read_entry_bytes(loaded->disc(), parsed->slot)).name());
        document["dialect"] = listed->sam ? "sam" : "zx";
        document["rewrite"] = args.has("--rewrite");
        document["lines"] = listed->listing.lines;
        document["damage"] = damage ? Json{{"offset", damage->offset}, {"reason", damage->reason}} : Json();
        document["missing_bytes"] = listed->chain.zero_bytes;
        write_json(out, document);
    } else {
        for (const std::string& line : listed->listing.lines)
            out << line << '\n';
    }
    int code = warn_if_short(err, *parsed, listed->chain) ? EXIT_PROBLEM : EXIT_OK;
    if (listed->listing.damage) {
        const basic::Damage& damage = *listed->listing.damage;
        report_slot(err, *parsed, "damage at byte " + std::to_string(damage.offset) + ": " + damage.reason);
        code = EXIT_PROBLEM;
    }
    return code;
}

} // namespace

const Command BASIC_COMMAND = slot_command({
    .name = "basic",
    .synopsis = "IMAGE --slot N [--rewrite] [--json]",
    .summary = "Lists the ZX or SAM BASIC program in slot N (the variables after it are not listed); with\n"
               "--rewrite, as the tape will hold it after the loader rewrite. Control codes appear as\n"
               "\\{INK 2}, \\{AT 3,4}...; damage ends the listing with a line \"** damage at byte N: ...\".",
    .options = {flag("--rewrite", "a ZX program as the tape holds it after the loader rewrite"), JSON},
    .example = "basic game.mgt --slot 0",
    .run = run_basic,
});

} // namespace cli
