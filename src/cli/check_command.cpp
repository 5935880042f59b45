#include "cli/cli.h"
#include "cli/commands.h"

namespace cli {

int run_check(const std::vector<std::string>&, std::ostream&, std::ostream& err)
{
    return usage_error(err, "check is not available in this build");
}

} // namespace cli
