#include "cli/cli.h"
#include "cli/commands.h"
#include "tape/convert.h"

#include <algorithm>
#include <optional>
#include <set>

namespace cli {
namespace {

struct TapOptions
{
    std::string image;
    std::optional<std::string> output;
    std::set<int> slots; // empty: every listed file
    bool rewrite_basic = true;
    bool force = false;
};

// Parses the arguments after "tap"; on failure reports the usage error and returns std::nullopt.
std::optional<TapOptions> parse_tap_options(const std::vector<std::string>& args, std::ostream& err)
{
    TapOptions options;
    bool have_image = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        if (arg == "-o" || arg == "--output") {
            if (!has_value || options.output) {
                usage_error(err, has_value ? "tap takes one -o OUT" : "option '" + arg + "' needs a file name");
                return std::nullopt;
            }
            options.output = args[++i];
        } else if (arg == "--slot") {
            if (!has_value) {
                usage_error(err, "option '--slot' needs a slot number");
                return std::nullopt;
            }
            const auto slot = parse_slot(args[++i]);
            if (!slot) {
                usage_error(err, "invalid slot '" + args[i] + "' (0-79)");
                return std::nullopt;
            }
            options.slots.insert(*slot);
        } else if (arg == "--no-rewrite") {
            options.rewrite_basic = false;
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg.size() > 1 && arg.front() == '-') {
            usage_error(err, "unknown option '" + arg + "'");
            return std::nullopt;
        } else if (have_image) {
            usage_error(err, "tap takes exactly one IMAGE");
            return std::nullopt;
        } else {
            options.image = arg;
            have_image = true;
        }
    }
    if (!have_image) {
        usage_error(err, "tap needs an IMAGE");
        return std::nullopt;
    }
    if (!options.output) {
        usage_error(err, "tap needs -o OUT");
        return std::nullopt;
    }
    return options;
}

} // namespace

int run_tap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto options = parse_tap_options(args, err);
    if (!options)
        return EXIT_USAGE;
    const auto loaded = load_image(options->image, err);
    if (!loaded)
        return EXIT_USAGE;

    for (const int slot : options->slots) {
        const bool listed = std::any_of(loaded->catalogue.begin(), loaded->catalogue.end(),
                                        [slot](const image::CatalogueRow& row) { return row.slot == slot; });
        if (!listed) {
            report(err, options->image, "no file in slot " + std::to_string(slot));
            return EXIT_USAGE;
        }
    }
    const std::string& tape_path = *options->output;
    if (!options->force && tape::is_nonempty_file(tape_path)) {
        report(err, tape_path, "exists and is not empty (use --force to replace it)");
        return EXIT_USAGE;
    }

    std::vector<tape::SelectedRow> rows;
    for (const image::CatalogueRow& row : loaded->catalogue) {
        if (options->slots.empty() || options->slots.contains(row.slot))
            rows.push_back({row.name, row.slot});
    }
    tape::Workspace ws;
    const tape::ConversionResult result =
        tape::convert_files(loaded->path, loaded->layout, rows, options->rewrite_basic, tape_path, ws);
    for (const std::string& line : result.lines)
        out << line << '\n';
    // The conversion's lines are the message pane's: a tape that could not be written shows there only as the last
    // line, in the exact text convert_files documents. Being an error of the command, it goes to stderr as well.
    if (!result.lines.empty() && result.lines.back() == "Cannot write " + tape_path)
        report(err, tape_path, "cannot write the tape file");
    return result.failures > 0 ? EXIT_PROBLEM : EXIT_OK;
}

} // namespace cli
