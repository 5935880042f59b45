// kestrel-cli: list, check and convert disc images from the command line.
#include "cli/cli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = cli::run(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout.fail() && code == cli::EXIT_OK ? cli::EXIT_PROBLEM : code;
}
