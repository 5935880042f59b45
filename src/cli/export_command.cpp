#include "cli/cli.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "tape/file_export.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <variant>

namespace cli {
namespace {

struct ExportArgs
{
    std::string image;
    int slot = -1;
    std::string output;
    bool force = false;
};

// Parses the arguments after "export"; on failure reports the usage error and returns std::nullopt.
std::optional<ExportArgs> parse_export_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("export", args, err);
    std::optional<std::string> image;
    std::optional<std::string> output;
    std::optional<int> slot;
    bool force = false;
    while (walk.next()) {
        if (walk.is("--slot")) {
            if (!walk.once(slot.has_value(), "--slot N") || !(slot = walk.slot()))
                return std::nullopt;
        } else if (walk.is("-o") || walk.is("--output")) {
            if (!walk.once(output.has_value(), "-o OUT") || !(output = walk.value()))
                return std::nullopt;
        } else if (walk.is("--force")) {
            force = true;
        } else if (!walk.image(image)) {
            return std::nullopt;
        }
    }
    if (!image || !slot || !output) {
        walk.missing("IMAGE, --slot N and -o OUT");
        return std::nullopt;
    }
    return ExportArgs{*image, *slot, *output, force};
}

} // namespace

int run_export(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_export_args(args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_image(parsed->image, err);
    if (!loaded)
        return EXIT_USAGE;
    const std::string slot_text = "slot " + std::to_string(parsed->slot);
    if (!slot_listed(loaded->catalogue, parsed->slot)) {
        report(err, parsed->image, "no file in " + slot_text);
        return EXIT_USAGE;
    }
    std::error_code ignored;
    // Not even --force lets the export replace the image it reads.
    if (std::filesystem::equivalent(parsed->image, parsed->output, ignored)) {
        report(err, parsed->output, "is the image itself");
        return EXIT_USAGE;
    }
    if (!parsed->force && std::filesystem::exists(parsed->output, ignored)) {
        report(err, parsed->output, "exists (use --force to replace it)");
        return EXIT_USAGE;
    }

    const auto exported = tape::export_file(loaded->disc(), parsed->slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        report(err, parsed->image, slot_text + ": " + *reason);
        return EXIT_PROBLEM;
    }
    if (const auto failure =
            common::write_file_atomically(parsed->output, std::get<std::vector<std::uint8_t>>(exported))) {
        report(err, parsed->output, *failure);
        return EXIT_PROBLEM;
    }
    return EXIT_OK;
}

} // namespace cli
