#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "common/file_read.h"
#include "common/number_text.h"
#include "common/path_text.h"
#include "files/basic_file.h"
#include "image/host_kinds.h"
#include "tape/convert.h"
#include "tape/tap_writer.h"

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
    // BASIC text (.bas) in place of an image: the program's name and auto-run line.
    std::optional<std::string> name;
    std::optional<std::uint16_t> line;
};

bool is_basic_text(const std::string& path)
{
    return image::host_kind_of_name(path) == image::HostKind::BasicText;
}

// The options of a command line that names an IMAGE and -o OUT; the usage error on err otherwise.
std::optional<TapOptions> tap_options(const Args& args, std::ostream& err)
{
    if (args.operands().empty() || !args.has("-o")) {
        missing(TAP_COMMAND, args.operands().empty() ? "an IMAGE" : "-o OUT", err);
        return std::nullopt;
    }
    TapOptions options;
    options.image = args.operands().front();
    options.output = *args.value("-o");
    const std::vector<int> slots = cli::slots(args);
    options.slots.insert(slots.begin(), slots.end());
    options.rewrite_basic = !args.has("--no-rewrite");
    options.force = args.has("--force");
    options.name = args.value("--name");
    if (const auto line = args.value("--line"))
        options.line = parse_line_number(*line);
    if ((options.name || options.line) && !is_basic_text(options.image)) {
        usage_error(err, "--name and --line are for BASIC text (.bas)");
        return std::nullopt;
    }
    return options;
}

// A tape of one ZX program tokenised from BASIC text.
int tap_basic_text(const TapOptions& options, std::ostream& out, std::ostream& err)
{
    auto text = common::read_whole_file(options.image, files::MAX_BASIC_TEXT, "BASIC text");
    if (auto* failure = std::get_if<common::Error>(&text)) {
        report(err, options.image, failure->text);
        return EXIT_USAGE;
    }
    std::string name = options.name.value_or(common::without_extension(common::file_part(options.image)));
    auto file = files::zx_basic_from_text(std::get<std::vector<std::uint8_t>>(text),
                                          {name.substr(0, image::entry::NAME_LEN), options.line, false});
    if (auto* why = std::get_if<std::string>(&file)) {
        report(err, options.image, *why);
        return EXIT_USAGE;
    }
    auto output = Output::open(options.output, {options.image}, options.force, "tape file", err);
    if (!output)
        return EXIT_USAGE;
    const auto& program = std::get<tape::TapeFile>(file);
    std::vector<std::uint8_t> tape;
    tape::write_tap_blocks(tape, program.header, program.data);
    if (!output->write(tape))
        return EXIT_USAGE;
    out << "Program: " << std::string(name.substr(0, image::entry::NAME_LEN)) << ", "
        << common::grouped(program.data.size()) << " bytes\n";
    return EXIT_OK;
}

int run_tap(const Args& args, std::ostream& out, std::ostream& err)
{
    const auto options = tap_options(args, err);
    if (!options)
        return EXIT_USAGE;
    if (is_basic_text(options->image))
        return tap_basic_text(*options, out, err);
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
        report(err, options->image, "slot " + std::to_string(file.slot) + ": " + image::shortfall_text(file.chain));
    // A loader that keeps +D syntax after the rewrite stops with a syntax error from tape: a warning, not a failure.
    for (const tape::DiscOnlyLoader& loader : result.disc_only_loaders)
        report(err, loader.name.substr(0, loader.name.find_last_not_of(' ') + 1),
               "loader still uses +D-only syntax (" + tape::describe(loader.statements) + ")");
    return result.failures > 0 || !result.short_files.empty() ? EXIT_PROBLEM : EXIT_OK;
}

} // namespace

const Command TAP_COMMAND{
    .name = "tap",
    .synopsis = "IMAGE -o OUT [--slot N]... [--no-rewrite] [--force]\n"
                "PROG.bas -o OUT [--name NAME] [--line L] [--force]",
    .summary = "Converts the ZX files of the image (or only the given directory slots) into the tape file OUT,\n"
               "blanking disc syntax out of BASIC loaders unless --no-rewrite is given. A BASIC text PROG.bas\n"
               "gives a tape of its program, named NAME (its file name by default), to run at line L. An\n"
               "existing OUT is only replaced with --force.",
    .options = {output_option("OUT", "the tape file written"),
                {"--slot", nullptr, "N", "a directory slot whose file goes on the tape", true, check_slot},
                flag("--no-rewrite", "BASIC loaders go on the tape as they are"),
                FORCE,
                {"--name", nullptr, "NAME", "the name of the program of PROG.bas (10 bytes)"},
                {"--line", nullptr, "L", "the line the program of PROG.bas runs from when loaded", false, check_line}},
    .example = "tap game.mgt -o game.tap",
    .run = run_tap,
    .operands = ONE_IMAGE,
};

} // namespace cli
