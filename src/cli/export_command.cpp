#include "cli/cli.h"
#include "cli/commands.h"
#include "tape/file_export.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <variant>

namespace cli {
int run_export(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_slot_args({"export", "OUT", true, {}}, args, err);
    if (!parsed)
        return EXIT_USAGE;
    auto loaded = load_slot(*parsed, err);
    if (!loaded)
        return EXIT_USAGE;
    if (!may_write_output(parsed->output, parsed->force, {parsed->image}, err))
        return EXIT_USAGE;

    const auto exported = tape::export_file(loaded->disc(), parsed->slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        report_slot(err, *parsed, *reason);
        return EXIT_PROBLEM;
    }
    if (!write_output(parsed->output, std::get<std::vector<std::uint8_t>>(exported), "file", err))
        return EXIT_PROBLEM;
    return EXIT_OK;
}

} // namespace cli
