#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "cli/output.h"
#include "files/make_disc.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace cli {
namespace {

struct MakeArgs
{
    std::string output;
    std::vector<std::string> tapes;
    std::optional<std::string> system;
    std::optional<int> system_slot;
    bool force = false;
};

// Parses the arguments after "make"; on failure reports the usage error and returns std::nullopt.
std::optional<MakeArgs> parse_make_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("make", args, err);
    MakeArgs parsed;
    std::optional<std::string> output;
    while (walk.next()) {
        if (walk.is("--system")) {
            if (!walk.once(parsed.system.has_value(), "--system IMAGE") || !(parsed.system = walk.value()))
                return std::nullopt;
        } else if (walk.is("--system-slot")) {
            if (!walk.once(parsed.system_slot.has_value(), "--system-slot N") || !(parsed.system_slot = walk.slot()))
                return std::nullopt;
        } else if (walk.is("--force")) {
            parsed.force = true;
        } else if (!output) {
            if (!walk.image(output))
                return std::nullopt;
        } else if (!walk.is_operand()) {
            walk.unknown_option();
            return std::nullopt;
        } else {
            parsed.tapes.push_back(walk.arg());
        }
    }
    if (!output || parsed.tapes.empty()) {
        walk.missing("OUT and at least one TAPE");
        return std::nullopt;
    }
    if (parsed.system_slot && !parsed.system) {
        usage_error(err, "--system-slot needs --system IMAGE");
        return std::nullopt;
    }
    parsed.output = *output;
    return parsed;
}

} // namespace

int run_make(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> rest = args;
    const bool json = take_option(rest, {"--json"});
    const auto parsed = parse_make_args(rest, err);
    if (!parsed)
        return EXIT_USAGE;
    const std::string& path = parsed->output;
    const image::Layout layout = image::layout_from_path(path);
    if (layout == image::Layout::None) {
        report(err, path, "not a disc image name (it must end in " + image::extensions_text(image::KindSet::Raw) + ")");
        return EXIT_USAGE;
    }
    std::vector<std::string> inputs = parsed->tapes;
    if (parsed->system)
        inputs.push_back(*parsed->system);
    auto output = Output::open(path, inputs, parsed->force, "image", err);
    if (!output)
        return EXIT_USAGE;
    std::optional<files::SystemFile> system;
    if (parsed->system) {
        auto loaded = load_image(*parsed->system, err);
        if (!loaded)
            return EXIT_USAGE;
        auto found = files::read_system_file(loaded->disc(), parsed->system_slot, *parsed->system);
        if (const auto* reason = std::get_if<std::string>(&found)) {
            report(err, *parsed->system, *reason);
            return EXIT_USAGE;
        }
        system = std::move(std::get<files::SystemFile>(found));
    }
    // Each tape is checked and read in turn, and only what can reach the disc is kept of it.
    std::vector<files::LoadedTape> tapes;
    for (const std::string& tape_path : parsed->tapes)
        tapes.push_back(files::load_tape_file(tape_path));
    for (const std::string& line : files::tape_lines(tapes))
        err << PROGRAM_NAME << ": " << line << '\n';
    if (std::all_of(tapes.begin(), tapes.end(), [](const files::LoadedTape& t) { return !t.refusal.empty(); }))
        return EXIT_USAGE;

    const auto made = files::make_disc(tapes, layout, system);
    if (const auto* reason = std::get_if<std::string>(&made)) {
        report(err, path, *reason);
        return EXIT_PROBLEM;
    }
    const auto& disc = std::get<files::MadeDisc>(made);
    if (!output->write(disc.bytes))
        return EXIT_USAGE;
    if (json) {
        // The files as the new disc lists them, read back from its bytes.
        image::RawImage new_disc(std::make_unique<image::MemoryBytes>(disc.bytes), layout);
        Json files = Json::array();
        for (const image::CatalogueRow& row : image::read_directory(new_disc))
            files.push_back(file_json(row));
        write_json(
            out, {{"image", path}, {"files", std::move(files)}, {"placed", disc.placed}, {"messages", disc.problems}});
    } else {
        for (const std::string& line : disc.placed)
            out << line << '\n';
    }
    return disc.problems.empty() ? EXIT_OK : EXIT_PROBLEM;
}

} // namespace cli
