#include "cli/cli.h"
#include "cli/commands.h"

namespace cli {

int run_tap(const std::vector<std::string>&, std::ostream&, std::ostream& err)
{
    return usage_error(err, "tap is not available in this build");
}

} // namespace cli
