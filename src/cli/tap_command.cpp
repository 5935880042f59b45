#include "cli/cli.h"
#include "cli/commands.h"
#include "tape/convert.h"

#include <optional>
#include <set>

namespace cli {
namespace {

struct TapOptions
{
    std::string image;
    std::string output;
    std::set<int> slots; // empty: every listed file
    bool rewrite_basic = true;
    bool force = false;
};

// Parses the arguments after "tap"; on failure reports the usage error and returns std::nullopt.
std::optional<TapOptions> parse_tap_options(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("tap", args, err);
    TapOptions options;
    std::optional<std::string> image;
    std::optional<std::string> output;
    while (walk.next()) {
        if (walk.is("-o") || walk.is("--output")) {
            if (!walk.once(output.has_value(), "-o OUT") || !(output = walk.value()))
                return std::nullopt;
        } else if (walk.is("--slot")) {
            const auto slot = walk.slot();
            if (!slot)
                return std::nullopt;
            options.slots.insert(*slot);
        } else if (walk.is("--no-rewrite")) {
            options.rewrite_basic = false;
        } else if (walk.is("--force")) {
            options.force = true;
        } else if (!walk.image(image)) {
            return std::nullopt;
        }
    }
    if (!image || !output) {
        walk.missing(image ? "-o OUT" : "an IMAGE");
        return std::nullopt;
    }
    options.image = *image;
    options.output = *output;
    return options;
}

} // namespace

int run_tap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto options = parse_tap_options(args, err);
    if (!options)
        return EXIT_USAGE;
    auto loaded = load_image(options->image, err);
    if (!loaded)
        return EXIT_USAGE;

    for (const int slot : options->slots) {
        if (!require_listed(*loaded, slot, err))
            return EXIT_USAGE;
    }
    const std::string& tape_path = options->output;
    if (!options->force && tape::is_nonempty_file(tape_path)) {
        report(err, tape_path, "exists and is not empty (use --force to replace it)");
        return EXIT_USAGE;
    }

    std::vector<tape::SelectedRow> rows;
    for (const image::CatalogueRow& row : loaded->catalogue) {
        if (options->slots.empty() || options->slots.contains(row.slot))
            rows.push_back({row.name, row.slot});
    }
    const tape::ConversionResult result =
        tape::convert_files(loaded->disc(), loaded->path, rows, options->rewrite_basic, tape_path);
    for (const std::string& line : result.lines)
        out << line << '\n';
    // A loader that keeps +D syntax after the rewrite stops with a syntax error from tape: a warning, not a failure.
    for (const tape::DiscOnlyLoader& loader : result.disc_only_loaders)
        report(err, loader.name.substr(0, loader.name.find_last_not_of(' ') + 1),
               "loader still uses +D-only syntax (" + tape::describe(loader.statements) + ")");
    // The conversion's lines are the message pane's: a tape that could not be written shows there only as the last
    // line, in the exact text convert_files documents. Being an error of the command, it goes to stderr as well.
    if (!result.lines.empty() && result.lines.back() == "Cannot write " + tape_path)
        report(err, tape_path, "cannot write the tape file");
    return result.failures > 0 ? EXIT_PROBLEM : EXIT_OK;
}

} // namespace cli
