#include "basic/slot_listing.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "image/directory.h"

namespace cli {
int run_basic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto parsed = parse_slot_args({"basic", nullptr, false, {"--rewrite", "--json"}}, args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;

    if (parsed->has("--rewrite") &&
        image::decode_directory_entry(image::read_entry_bytes(loaded->disc(), parsed->slot)).type_code() ==
            image::TYPE_SAM_BASIC) {
        report_slot(err, *parsed, "--rewrite applies to ZX BASIC programs only");
        return EXIT_USAGE;
    }
    const auto listed = basic::list_slot(loaded->disc(), parsed->slot, parsed->has("--rewrite"));
    if (!listed) {
        report_slot(err, *parsed, "not a ZX BASIC program");
        return EXIT_PROBLEM;
    }
    if (parsed->has("--json")) {
        const basic::Damage* damage = listed->listing.damage ? &*listed->listing.damage : nullptr;
        Json document = {{"image", parsed->image}, {"slot", parsed->slot}};
        put_name(document, image::decode_directory_entry(image::read_entry_bytes(loaded->disc(), parsed->slot)).name());
        document["dialect"] = listed->sam ? "sam" : "zx";
        document["rewrite"] = parsed->has("--rewrite");
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

} // namespace cli
