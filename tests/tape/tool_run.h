// Runs the Fuse emulator's tape utilities (tzxlist, listbasic) on files the tests wrote: they know the .tap format
// independently of this program.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

inline bool has_tool(const std::string& tool)
{
    return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

struct ToolRun
{
    int status = -1; // exit status; -1 when the tool did not run or did not exit normally
    std::string output;
};

inline std::string shell_quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a command line through the shell, stderr joined to stdout.
inline ToolRun run_shell(const std::string& command)
{
    ToolRun run;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, got);
    const int status = pclose(pipe);
    run.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs `tool FILE`.
inline ToolRun run_tool(const std::string& tool, const std::filesystem::path& file)
{
    return run_shell(tool + " " + shell_quoted(file.string()));
}

// Runs a program with arguments, each passed as it is.
inline ToolRun run_command(const std::vector<std::string>& args)
{
    std::string command;
    for (const std::string& arg : args)
        command += (command.empty() ? "" : " ") + shell_quoted(arg);
    return run_shell(command);
}

} // namespace testing_support
