#include "cli/cli.h"
#include "cli/commands.h"

namespace cli {

int run_screen(const std::vector<std::string>&, std::ostream&, std::ostream& err)
{
    return usage_error(err, "screen is not available in this build");
}

} // namespace cli
