#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "snapshot/plusd_snapshot.h"

#include <filesystem>
#include <optional>
#include <variant>

namespace cli {
namespace {

int run_snap(const Args& args, std::ostream&, std::ostream& err)
{
    const std::string path = args.value("-o").value_or("");
    const auto format = snapshot::format_from_path(path);
    if (args.has("-o") && !format)
        return usage_error(err, "snap writes .z80 or .sna files, not '" + path + "'");
    auto opened = open_slot_output(SNAP_COMMAND, args, "snapshot", err);
    if (!opened)
        return EXIT_USAGE;
    const SlotArgs& parsed = opened->args;

    const auto read = snapshot::read_plusd_snapshot(opened->loaded.disc(), parsed.slot);
    if (const auto* error = std::get_if<common::Error>(&read)) {
        report_slot(err, parsed, error->text);
        return EXIT_PROBLEM;
    }
    const auto bytes = snapshot::encode_file(std::get<snapshot::Snapshot>(read), *format);
    return opened->output.write(bytes) ? EXIT_OK : EXIT_USAGE;
}

} // namespace

const Command SNAP_COMMAND = slot_output_command({
    .name = "snap",
    .summary = "Writes the +D / DISCiPLE snapshot in slot N (a 48K or 128K snapshot file) as an emulator\n"
               "snapshot, .z80 or .sna after OUT's extension. An existing OUT is only replaced with --force.",
    .output = output_option("OUT.z80 or OUT.sna", "the emulator snapshot written"),
    .example = "snap game.mgt --slot 4 -o game.z80",
    .run = run_snap,
});

} // namespace cli
