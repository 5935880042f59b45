// kestrel-cli: the batch companion of the GUI. Every command runs in-process through run(), writing its normal
// output to `out` and its messages to `err`, so tests can drive it without spawning a process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_PROBLEM = 1; // the command ran, and found or reported a failure
inline constexpr int EXIT_USAGE = 2;   // bad arguments, input that cannot be read at all, or an output that may not
                                       // or cannot be written (standard output too)

inline constexpr const char* PROGRAM_NAME = "kestrel-cli";

// Runs one command line (without the program name) and returns the process exit code.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Runs one command line as the program does: run(), then a flush of `out`, the program's standard output. Output
// that could not be written is reported on err and gives EXIT_USAGE, as any other output that cannot be written.
int run_and_flush(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace cli
