#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
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
    auto output = Output::open(options->output, {options->image}, options->force, "tape file", err);
    if (!output)
        return EXIT_USAGE;

    std::vector<tape::SelectedRow> rows;
    for (const image::CatalogueRow& row : loaded->catalogue) {
        if (options->slots.empty() || options->slots.contains(row.slot))
            rows.push_back({row.name, row.slot});
    }
    const tape::ConversionResult result =
        tape::convert_files(loaded->disc(), rows, options->rewrite_basic, output->file());
    // The conversion's lines are the message pane's, a tape that could not be written included; its reason is an
    // error of the command and goes to stderr.
    for (const std::string& line : result.lines)
        out << line << '\n';
    if (!result.write_failure.empty()) {
        output->report_failure(result.write_failure);
        return EXIT_USAGE;
    }
    for (const tape::ShortFile& file : result.short_files)
        report(err, options->image, "slot " + std::to_string(file.slot) + ": " + tape::shortfall_text(file.chain));
    // A loader that keeps +D syntax after the rewrite stops with a syntax error from tape: a warning, not a failure.
    for (const tape::DiscOnlyLoader& loader : result.disc_only_loaders)
        report(err, loader.name.substr(0, loader.name.find_last_not_of(' ') + 1),
               "loader still uses +D-only syntax (" + tape::describe(loader.statements) + ")");
    return result.failures > 0 || !result.short_files.empty() ? EXIT_PROBLEM : EXIT_OK;
}

} // namespace cli
