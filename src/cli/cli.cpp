#include "cli/cli.h"

#include "cli/commands.h"
#include "common/path_text.h"
#include "common/version.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace cli {
namespace {

// The commands in the order the help lists them.
constexpr std::array<const Command*, 17> COMMANDS = {
    &LIST_COMMAND,   &CHECK_COMMAND, &FIND_COMMAND, &TAP_COMMAND,    &SCREEN_COMMAND,    &THUMBNAIL_COMMAND,
    &IMAGE_COMMAND,  &BASIC_COMMAND, &MAKE_COMMAND, &SNAP_COMMAND,   &DISC_READ_COMMAND, &DISC_WRITE_COMMAND,
    &EXPORT_COMMAND, &ADD_COMMAND,   &RM_COMMAND,   &RENAME_COMMAND, &ATTR_COMMAND};

const Command* find_command(std::string_view name)
{
    const auto found =
        std::find_if(COMMANDS.begin(), COMMANDS.end(), [&](const Command* c) { return c->name == name; });
    return found == COMMANDS.end() ? nullptr : *found;
}

// "disc" alone: its help is both of its commands'.
int run_disc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (!asks_help(DISC_READ_COMMAND, args))
        return usage_error(err, "disc needs 'read A:|B: OUT' or 'write IMAGE A:|B:'");
    out << command_help(DISC_READ_COMMAND) << '\n' << command_help(DISC_WRITE_COMMAND);
    return EXIT_OK;
}

} // namespace

void report(std::ostream& err, const std::string& subject, const std::string& reason)
{
    err << PROGRAM_NAME << ": " << common::shown_path(subject) << ": " << reason << '\n';
}

int usage_error(std::ostream& err, const std::string& reason)
{
    err << PROGRAM_NAME << ": " << reason << "\nTry 'kestrel-cli --help' for more information.\n";
    return EXIT_USAGE;
}

void report_findings(std::ostream& err, const std::string& path, const image::OpenImage& image)
{
    for (const std::string& note : image.notes)
        report(err, path, note);
    for (const std::string& finding : image.findings)
        report(err, path, finding);
}

std::optional<image::OpenImage> open_reported(const std::string& path, std::ostream& err)
{
    auto opened = image::open_one_image(path);
    if (const auto* failure = std::get_if<common::Error>(&opened)) {
        report(err, path, failure->text);
        return std::nullopt;
    }
    return std::get<image::OpenImage>(std::move(opened));
}

std::optional<LoadedImage> load_image(const std::string& path, std::ostream& err)
{
    auto opened = open_reported(path, err);
    if (!opened)
        return std::nullopt;
    LoadedImage loaded{path, std::move(*opened), {}};
    report_findings(err, path, loaded.image);
    loaded.catalogue = image::read_directory(loaded.disc());
    return loaded;
}

std::optional<int> parse_slot(const std::string& text)
{
    int slot = -1;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, slot);
    if (text.empty() || ec != std::errc() || ptr != end || slot < 0 || slot >= image::MAX_DIRECTORY_SLOTS)
        return std::nullopt;
    return slot;
}

bool require_listed(const LoadedImage& loaded, int slot, std::ostream& err)
{
    const auto& rows = loaded.catalogue;
    if (std::any_of(rows.begin(), rows.end(), [slot](const image::CatalogueRow& row) { return row.slot == slot; }))
        return true;
    report(err, loaded.path, "no file in slot " + std::to_string(slot));
    return false;
}

std::optional<SlotArgs> slot_args(const Command& command, const Args& args, std::ostream& err)
{
    const Option* output = command.option("-o");
    const auto slot = args.value("--slot");
    if (args.operands().empty() || !slot || (output && !args.has("-o"))) {
        missing(command, output ? std::string("IMAGE, --slot N and -o ") + output->value : "IMAGE and --slot N", err);
        return std::nullopt;
    }
    return SlotArgs{args.operands().front(), *parse_slot(*slot), args.value("-o").value_or(""), args.has("--force")};
}

int missing(const Command& command, const std::string& what, std::ostream& err)
{
    return usage_error(err, std::string(command.name) + " needs " + what);
}

std::vector<int> slots(const Args& args, std::string_view option)
{
    std::vector<int> numbers;
    for (const std::string& value : args.values(option))
        numbers.push_back(*parse_slot(value));
    return numbers;
}

std::optional<LoadedImage> load_slot(const SlotArgs& args, std::ostream& err)
{
    auto loaded = load_image(args.image, err);
    if (!loaded || !require_listed(*loaded, args.slot, err))
        return std::nullopt;
    return loaded;
}

Command slot_command(Command command)
{
    command.options.insert(command.options.begin(), SLOT);
    command.operands = ONE_IMAGE;
    return command;
}

Command slot_output_command(const SlotOutputCommand& declared)
{
    // The synopsis gives alternatives between |, where the option's help names them in words.
    std::string out = declared.output.value;
    for (std::size_t at = out.find(" or "); at != std::string::npos; at = out.find(" or ", at))
        out.replace(at, 4, "|");
    return slot_command({.name = declared.name,
                         .synopsis = "IMAGE --slot N -o " + out + " [--force]",
                         .summary = declared.summary,
                         .options = {declared.output, FORCE},
                         .example = declared.example,
                         .run = declared.run});
}

std::optional<SlotOutput> open_slot_output(const Command& command, const Args& args, const char* what,
                                           std::ostream& err)
{
    auto parsed = slot_args(command, args, err);
    if (!parsed)
        return std::nullopt;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return std::nullopt;
    auto output = Output::open(parsed->output, {parsed->image}, parsed->force, what, err);
    if (!output)
        return std::nullopt;
    return SlotOutput{*parsed, std::move(*loaded), std::move(*output)};
}

void report_slot(std::ostream& err, const SlotArgs& args, const std::string& reason)
{
    report(err, args.image, "slot " + std::to_string(args.slot) + ": " + reason);
}

bool warn_if_short(std::ostream& err, const SlotArgs& args, const image::ChainReport& chain)
{
    if (chain.complete())
        return false;
    report_slot(err, args, image::shortfall_text(chain));
    return true;
}

std::span<const Command* const> commands()
{
    return COMMANDS;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return usage_error(err, "missing command");
    const std::string& name = args.front();
    if (name == "--version") {
        out << PROGRAM_NAME << ' ' << common::VERSION << '\n';
        return EXIT_OK;
    }
    if (name == "-h" || name == "--help" || name == "help") {
        out << program_help();
        return EXIT_OK;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    std::string full_name = name;
    if (name == "disc" && !rest.empty() && (rest.front() == "read" || rest.front() == "write")) {
        full_name += " " + rest.front();
        rest.erase(rest.begin());
    }
    const Command* command = find_command(full_name);
    if (name == "disc" && !command)
        return run_disc(rest, out, err);
    if (!command)
        return usage_error(err, "unknown command '" + name + "'");
    // "COMMAND --help" asks for the command's help, as with most tools, rather than naming an image or an option.
    if (asks_help(*command, rest)) {
        out << command_help(*command);
        return EXIT_OK;
    }
    const auto parsed = parse_args(*command, rest, err);
    if (!parsed)
        return EXIT_USAGE;
    return command->run(*parsed, out, err);
}

int run_and_flush(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const int code = run(args, out, err);
    out.flush();
    if (!out.fail())
        return code;
    report(err, "standard output", "cannot write");
    return EXIT_USAGE;
}

} // namespace cli
