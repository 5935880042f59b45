#include "cli/cli.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "snapshot/plusd_snapshot.h"

#include <filesystem>
#include <optional>
#include <variant>

namespace cli {
namespace {

struct SnapArgs
{
    std::string image;
    int slot = -1;
    std::string output;
    snapshot::FileFormat format = snapshot::FileFormat::Z80;
    bool force = false;
};

// Parses the arguments after "snap"; on failure reports the usage error and returns std::nullopt.
std::optional<SnapArgs> parse_snap_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("snap", args, err);
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
        walk.missing("IMAGE, --slot N and -o OUT.z80 or OUT.sna");
        return std::nullopt;
    }
    const auto format = snapshot::format_from_path(*output);
    if (!format) {
        usage_error(err, "snap writes .z80 or .sna files, not '" + *output + "'");
        return std::nullopt;
    }
    return SnapArgs{*image, *slot, *output, *format, force};
}

} // namespace

int run_snap(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_snap_args(args, err);
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
    if (!parsed->force && std::filesystem::exists(parsed->output, ignored)) {
        report(err, parsed->output, "exists (use --force to replace it)");
        return EXIT_USAGE;
    }

    const auto read = snapshot::read_plusd_snapshot(loaded->disc(), parsed->slot);
    if (const auto* error = std::get_if<snapshot::DecodeError>(&read)) {
        report(err, parsed->image, slot_text + ": " + error->reason);
        return EXIT_PROBLEM;
    }
    const auto bytes = snapshot::encode_file(std::get<snapshot::Snapshot>(read), parsed->format);
    if (const auto failure = common::write_file_atomically(parsed->output, bytes)) {
        report(err, parsed->output, *failure);
        return EXIT_PROBLEM;
    }
    return EXIT_OK;
}

} // namespace cli
