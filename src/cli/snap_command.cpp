#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "snapshot/plusd_snapshot.h"

#include <filesystem>
#include <optional>
#include <variant>

namespace cli {

int run_snap(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_slot_args({"snap", "OUT.z80 or OUT.sna", true, {}}, args, err);
    if (!parsed)
        return EXIT_USAGE;
    const auto format = snapshot::format_from_path(parsed->output);
    if (!format)
        return usage_error(err, "snap writes .z80 or .sna files, not '" + parsed->output + "'");
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;
    auto output = Output::open(parsed->output, {parsed->image}, parsed->force, "snapshot", err);
    if (!output)
        return EXIT_USAGE;

    const auto read = snapshot::read_plusd_snapshot(loaded->disc(), parsed->slot);
    if (const auto* error = std::get_if<common::Error>(&read)) {
        report_slot(err, *parsed, error->text);
        return EXIT_PROBLEM;
    }
    const auto bytes = snapshot::encode_file(std::get<snapshot::Snapshot>(read), *format);
    return output->write(bytes) ? EXIT_OK : EXIT_USAGE;
}

} // namespace cli
