#include "basic/listing.h"
#include "basic/sam_listing.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "common/bytes.h"
#include "image/directory.h"
#include "tape/basic_rewrite.h"
#include "tape/extract.h"
#include "tape/file_export.h"

#include <optional>
#include <variant>

namespace cli {
namespace {

// The listing's lines on `out`, its damage on `err`; the exit code with the chain's shortfall counted in.
int print_listing(const basic::Listing& listing, const tape::ChainReport& chain, const SlotArgs& args,
                  std::ostream& out, std::ostream& err)
{
    for (const std::string& line : listing.lines)
        out << line << '\n';
    int code = warn_if_short(err, args, chain) ? EXIT_PROBLEM : EXIT_OK;
    if (listing.damage) {
        report_slot(err, args,
                    "damage at byte " + std::to_string(listing.damage->offset) + ": " + listing.damage->reason);
        code = EXIT_PROBLEM;
    }
    return code;
}

// A SAM Basic file: its data after the disc header, of the SAM length, listed as SAM BASIC (it has no loader to
// rewrite).
int list_sam_basic(const SlotArgs& args, image::SectorSource& disc, std::ostream& out, std::ostream& err)
{
    if (args.has("--rewrite")) {
        report_slot(err, args, "--rewrite applies to ZX BASIC programs only");
        return EXIT_USAGE;
    }
    auto exported = tape::export_file(disc, args.slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        report_slot(err, args, *reason);
        return EXIT_PROBLEM;
    }
    const auto& file = std::get<tape::ExportedFile>(exported);
    return print_listing(basic::list_sam_program(file.bytes, file.bytes.size()), file.chain, args, out, err);
}

} // namespace

int run_basic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto parsed = parse_slot_args({"basic", nullptr, false, {"--rewrite"}}, args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;

    const image::EntryBytes entry = image::read_entry_bytes(loaded->disc(), parsed->slot);
    if (image::decode_directory_entry(entry).type_code() == image::TYPE_SAM_BASIC)
        return list_sam_basic(*parsed, loaded->disc(), out, err);

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
