#include "cli/cli.h"
#include "cli/commands.h"

namespace cli {

int run_list(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1)
        return usage_error(err, "list takes exactly one IMAGE");
    const auto loaded = load_image(args.front(), err);
    if (!loaded)
        return EXIT_USAGE;
    for (const image::CatalogueRow& row : loaded->catalogue) {
        for (const std::string& cell : image::cell_texts(row))
            out << cell << '\t';
        out << row.slot << '\n';
    }
    return EXIT_OK;
}

} // namespace cli
