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

int run_make(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.operands().size() < 2)
        return missing(MAKE_COMMAND, "OUT and at least one TAPE", err);
    const auto system_path = args.value("--system");
    const auto system_slot = args.value("--system-slot");
    if (system_slot && !system_path)
        return usage_error(err, "--system-slot needs --system IMAGE");
    const std::string& path = args.operands().front();
    const std::vector<std::string> tape_paths(args.operands().begin() + 1, args.operands().end());
    const image::Layout layout = image::layout_from_path(path);
    if (layout == image::Layout::None) {
        report(err, path, "not a disc image name (it must end in " + image::extensions_text(image::KindSet::Raw) + ")");
        return EXIT_USAGE;
    }
    std::vector<std::string> inputs = tape_paths;
    if (system_path)
        inputs.push_back(*system_path);
    auto output = Output::open(path, inputs, args.has("--force"), "image", err);
    if (!output)
        return EXIT_USAGE;
    std::optional<files::SystemFile> system;
    if (system_path) {
        auto loaded = load_image(*system_path, err);
        if (!loaded)
            return EXIT_USAGE;
        const std::optional<int> slot = system_slot ? parse_slot(*system_slot) : std::nullopt;
        auto found = files::read_system_file(loaded->disc(), slot, *system_path);
        if (const auto* reason = std::get_if<std::string>(&found)) {
            report(err, *system_path, *reason);
            return EXIT_USAGE;
        }
        system = std::move(std::get<files::SystemFile>(found));
    }
    // Each tape is checked and read in turn, and only what can reach the disc is kept of it.
    std::vector<files::LoadedTape> tapes;
    for (const std::string& tape_path : tape_paths)
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
    if (args.has("--json")) {
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

} // namespace

const Command MAKE_COMMAND{
    .name = "make",
    .synopsis = "OUT TAPE... [--system IMAGE [--system-slot N]] [--force] [--json]",
    .summary = "Makes a new +D disc image OUT ({RAW_BY_LAYOUT}) of the files on the .tap/.tzx tapes, one line per\n"
               "file placed; skipped tape blocks are reported on stderr. --system copies the +D system file of IMAGE\n"
               "(the first file named +SYS..., or slot N) as the first file. An existing OUT only with --force.",
    .options = {{"--system", nullptr, "IMAGE", "the image whose +D system file becomes the first file"},
                {"--system-slot", nullptr, "N", "the slot of the system file in IMAGE", false, check_slot},
                FORCE,
                JSON},
    .example = "make games.mgt one.tap two.tzx",
    .run = run_make,
};

} // namespace cli
