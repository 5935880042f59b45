// kestrel-cli's commands, declared: each says its name, how it is called, what it does and which options it takes,
// each with its help, its value and whether it may be given more than once. Parsing, each command's --help, the
// program's help and the manual page are made from these declarations, so they cannot tell different stories.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

// Checks a value (or an operand): "" when it is fine, else the usage error's reason.
using ValueCheck = std::string (*)(const std::string& value);

struct Option
{
    const char* name = "";       // "--slot", "-o", "+h"
    const char* alias = nullptr; // another name: "--output" beside "-o"
    const char* value = nullptr; // how the help names its value ("N", "OUT.png"); nullptr: a flag
    const char* help = "";       // wrapped by hand; a line break continues the text under the first line
    bool repeatable = false;     // a value that may be given again; every value is kept
    ValueCheck check = nullptr;  // what the value must be
    bool named(std::string_view arg) const { return arg == name || (alias != nullptr && arg == alias); }
};

// The arguments of one command line, as its declaration took them.
class Args
{
public:
    const std::vector<std::string>& operands() const { return m_operands; }
    bool has(std::string_view option) const { return count(option) > 0; }
    std::size_t count(std::string_view option) const;
    // The value of an option given once; std::nullopt when it was not given.
    std::optional<std::string> value(std::string_view option) const;
    // Every value of the option, in the order given.
    std::vector<std::string> values(std::string_view option) const;

    void add_operand(std::string operand) { m_operands.push_back(std::move(operand)); }
    void add(const Option& option, std::string value) { m_given.push_back({&option, std::move(value)}); }

private:
    struct Given
    {
        const Option* option;
        std::string value;
    };
    std::vector<std::string> m_operands;
    std::vector<Given> m_given;
};

using Run = int (*)(const Args& args, std::ostream& out, std::ostream& err);

constexpr std::size_t ANY_NUMBER = std::numeric_limits<std::size_t>::max();

// How many operands a command takes, and what each must be.
struct Operands
{
    std::size_t most = ANY_NUMBER;
    const char* too_many = "";  // the usage error, after the command's name, for one more than `most`
    ValueCheck check = nullptr; // what an operand must not be
};

inline constexpr Operands ONE_IMAGE{1, "takes exactly one IMAGE"};

struct Command
{
    const char* name = "";     // "tap", "disc read"
    std::string synopsis = ""; // what follows the name; a line break starts another form of the command
    const char* summary = "";  // what it does, wrapped by hand
    std::vector<Option> options = {};
    const char* example = ""; // a command line that uses it
    Run run = nullptr;
    Operands operands = {};
    const char* note = nullptr; // what it shares with the commands beside it that carry the same note
    const Option* option(std::string_view arg) const;
};

// The commands in the order the help lists them.
std::span<const Command* const> commands();

// An option that takes no value.
inline constexpr Option flag(const char* name, const char* help)
{
    return {name, nullptr, nullptr, help};
}

// Options of more than one command.
inline constexpr Option RECURSIVE{"-r", "--recursive", nullptr,
                                  "walk into folders and take every image of the zip archives met"};
inline constexpr Option JSON = flag("--json", "one JSON document on stdout instead of the text");
inline constexpr Option FORCE = flag("--force", "replace an existing output file");
std::string check_slot(const std::string& value);
inline constexpr Option SLOT{"--slot", nullptr, "N", "the directory slot of the file (0-777)", false, check_slot};
inline constexpr Option output_option(const char* value, const char* help)
{
    return {"-o", "--output", value, help};
}

// The options of the program as a whole, as the help and the manual page list them.
std::span<const Option> program_options();

// Parses the arguments after the command's name; on failure reports the usage error on err.
std::optional<Args> parse_args(const Command& command, const std::vector<std::string>& args, std::ostream& err);

// Whether the arguments ask for the command's help rather than its work: --help before "--", or -h where the
// command takes no -h of its own.
bool asks_help(const Command& command, const std::vector<std::string>& args);

// The text with its marks replaced by lists from the tables: {RAW}, {RAW_OR}, {RAW_BY_LAYOUT} by the image
// extensions of the table of image kinds, {TYPES} by the type keys of the file-type table (type_keys_text()).
std::string with_lists(std::string text);
std::string type_keys_text();

// The program's help, and one command's.
std::string program_help();
std::string command_help(const Command& command);

} // namespace cli
