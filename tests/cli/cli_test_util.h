// Runs kestrel-cli in-process and keeps what it wrote.
#pragma once

#include "cli/cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

struct CliResult
{
    int code;
    std::string out;
    std::string err;
};

inline CliResult run_cli(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::run(args, out, err);
    return {code, out.str(), err.str()};
}

} // namespace testing_support
