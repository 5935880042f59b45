// kestrel-cli: list, check and convert disc images from the command line.
#include "cli/cli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return cli::run_and_flush(args, std::cout, std::cerr);
}
