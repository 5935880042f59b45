#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "image/file_export.h"

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
    auto output = Output::open(parsed->output, {parsed->image}, parsed->force, "file", err);
    if (!output)
        return EXIT_USAGE;

    const auto exported = image::export_file(loaded->disc(), parsed->slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        report_slot(err, *parsed, *reason);
        return EXIT_PROBLEM;
    }
    const auto& file = std::get<image::ExportedFile>(exported);
    if (!output->write(file.bytes))
        return EXIT_USAGE;
    return warn_if_short(err, *parsed, file.chain) ? EXIT_PROBLEM : EXIT_OK;
}

} // namespace cli
