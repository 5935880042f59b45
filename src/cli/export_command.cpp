#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "image/file_export.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <variant>

namespace cli {
namespace {

int run_export(const Args& args, std::ostream&, std::ostream& err)
{
    auto opened = open_slot_output(EXPORT_COMMAND, args, "file", err);
    if (!opened)
        return EXIT_USAGE;
    const SlotArgs& parsed = opened->args;

    const auto exported = image::export_file(opened->loaded.disc(), parsed.slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        report_slot(err, parsed, *reason);
        return EXIT_PROBLEM;
    }
    const auto& file = std::get<image::ExportedFile>(exported);
    if (!opened->output.write(file.bytes))
        return EXIT_USAGE;
    return warn_if_short(err, parsed, file.chain) ? EXIT_PROBLEM : EXIT_OK;
}

} // namespace

const Command EXPORT_COMMAND = slot_output_command({
    .name = "export",
    .summary = "Writes the data of the file in slot N as raw bytes: a ZX file as it goes on tape, a SAM file\n"
               "without its nine-byte disc header, both of the length the directory gives (zeros where the\n"
               "chain ends early, said on stderr with exit status 1). An existing OUT is only replaced with\n"
               "--force; never the image itself.",
    .output = output_option("OUT", "the file of raw bytes written"),
    .example = "export game.mgt --slot 1 -o code.bin",
    .run = run_export,
});

} // namespace cli
