#include "cli/command.h"

#include "cli/cli.h"
#include "cli/commands.h"
#include "image/image_kinds.h"

#include <algorithm>
#include <array>

namespace cli {
namespace {

constexpr const char* HELP_HEAD = R"(Usage: kestrel-cli COMMAND [ARGUMENTS]

Reads +D / DISCiPLE / SAM Coupe disc images ({RAW}; 819,200 bytes), makes new ones from tapes and edits
them. Only add, rm, rename and attr change an image, and only a plain one in place. An IMAGE may also be
gzipped (.mgt.gz, ...), in a zip archive (ARCHIVE.zip, or ARCHIVE.zip/NAME for one of several images in it),
an Extended DSK (whatever its name) or a SAD image, of the 800K geometry.
)";

constexpr const char* HELP_TAIL =
    R"(No command writes over a file it reads (by any name: a link, a path with ..), nor over an existing file
without --force. Data that is not there (a chain that ends early, an image cut short, missing sectors) is
said on stderr and gives exit status 1.

Exit status: 0 success; 1 the command found or reported a problem (damage, a file not converted, data
missing); 2 usage error, an image (or drive) that cannot be read, or an output that may not or cannot be
written.
)";

constexpr std::array PROGRAM_OPTIONS = {
    Option{"-r", "--recursive", nullptr,
           "list, check, find: walk into folders and take every image of the zip archives met,\n"
           "named FOLDER/ARCHIVE.zip/NAME; files of other names are passed over, images that\n"
           "cannot be read are reported and skipped (exit status 2)"},
    flag("--json", "list, check, find, basic, make, image and the edits: one JSON document on stdout\n"
                   "instead of the text (fields in the README); messages stay on stderr"),
    Option{"-h", "--help", nullptr, "show the help (after a command, that command's own help)"},
    flag("--version", "show the version"),
    flag("--", "ends the options: what follows are file names, even when they start with '-'"),
};

// Where option help starts: in the program's help, and in a command's.
constexpr std::size_t PROGRAM_COLUMN = 17;
constexpr std::size_t COMMAND_COLUMN = 24;

} // namespace

std::string type_keys_text()
{
    std::string text;
    for (int code = 0; code < image::TYPE_CODES; ++code) {
        if (const std::string_view key = image::file_type(code).key; !key.empty())
            text += (text.empty() ? "" : ", ") + std::string(key);
    }
    return text;
}

std::string with_lists(std::string text)
{
    auto put = [&text](std::string_view mark, const std::string& value) {
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    };
    put("{RAW}", image::extensions_text(image::KindSet::Raw, ", "));
    put("{RAW_OR}", image::extensions_text(image::KindSet::Raw));
    put("{RAW_BY_LAYOUT}", image::layouts_text());
    put("{TYPES}", type_keys_text());
    return text;
}

namespace {

// Each line of `text` after `indent`.
std::string indented(std::string_view text, std::string_view indent)
{
    std::string lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.append(indent).append(text.substr(at, end - at)).append("\n");
        at = end + 1;
    }
    return lines;
}

// Each line of `text` broken at blanks into lines of at most `width` characters.
std::string wrapped(std::string_view text, std::size_t width)
{
    std::string lines;
    std::size_t length = 0;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find_first_of(" \n", at), text.size());
        const std::size_t word = end - at;
        if (length > 0 && length + 1 + word > width) {
            lines += '\n';
            length = 0;
        } else if (length > 0) {
            lines += ' ';
            ++length;
        }
        lines.append(text.substr(at, word));
        length += word;
        if (end < text.size() && text[end] == '\n') {
            lines += '\n';
            length = 0;
        }
        at = end + 1;
    }
    return lines;
}

// "  -o, --output OUT   help", the help under the names when they leave no room, its lines within the width of the
// texts.
std::string option_lines(const Option& option, std::size_t column)
{
    constexpr std::size_t WIDTH = 100;
    std::string names = std::string("  ") + option.name;
    if (option.alias)
        names += std::string(", ") + option.alias;
    if (option.value)
        names += std::string(" ") + option.value;
    std::string help = with_lists(option.help);
    if (option.repeatable)
        help += " (may be given more than once)";
    help = wrapped(help, WIDTH - column);
    const std::string margin(column, ' ');
    if (names.size() + 2 > column)
        return names + '\n' + indented(help, margin);
    return names + std::string(column - names.size(), ' ') + indented(help, margin).substr(column);
}

bool fails(std::ostream& err, const std::string& reason)
{
    usage_error(err, reason);
    return false;
}

// Takes the option at args[at] (and its value) into `parsed`; false after reporting a usage error.
bool take_option(const Command& command, const Option& option, const std::vector<std::string>& args, std::size_t& at,
                 Args& parsed, std::ostream& err)
{
    if (!option.value) {
        parsed.add(option, "");
        return true;
    }
    if (!option.repeatable && parsed.has(option.name))
        return fails(err, std::string(command.name) + " takes one " + option.name + " " + option.value);
    if (at + 1 >= args.size())
        return fails(err, "option '" + args[at] + "' needs a value");
    const std::string& value = args[++at];
    if (option.check) {
        if (const std::string problem = option.check(value); !problem.empty())
            return fails(err, problem);
    }
    parsed.add(option, value);
    return true;
}

} // namespace

std::size_t Args::count(std::string_view option) const
{
    return static_cast<std::size_t>(
        std::count_if(m_given.begin(), m_given.end(), [&](const Given& given) { return given.option->named(option); }));
}

std::optional<std::string> Args::value(std::string_view option) const
{
    const auto found =
        std::find_if(m_given.begin(), m_given.end(), [&](const Given& given) { return given.option->named(option); });
    if (found == m_given.end())
        return std::nullopt;
    return found->value;
}

std::vector<std::string> Args::values(std::string_view option) const
{
    std::vector<std::string> found;
    for (const Given& given : m_given) {
        if (given.option->named(option))
            found.push_back(given.value);
    }
    return found;
}

const Option* Command::option(std::string_view arg) const
{
    const auto found = std::find_if(options.begin(), options.end(), [&](const Option& o) { return o.named(arg); });
    return found == options.end() ? nullptr : &*found;
}

std::string check_slot(const std::string& value)
{
    if (parse_slot(value))
        return "";
    return "invalid slot '" + value + "' (0-" + std::to_string(image::MAX_DIRECTORY_SLOTS - 1) + ")";
}

std::span<const Option> program_options()
{
    return PROGRAM_OPTIONS;
}

std::optional<Args> parse_args(const Command& command, const std::vector<std::string>& args, std::ostream& err)
{
    Args parsed;
    bool operands_only = false;
    for (std::size_t at = 0; at < args.size(); ++at) {
        const std::string& arg = args[at];
        if (!operands_only && arg == "--") {
            operands_only = true;
            continue;
        }
        const Option* option = operands_only ? nullptr : command.option(arg);
        if (option) {
            if (!take_option(command, *option, args, at, parsed, err))
                return std::nullopt;
            continue;
        }
        // "-" alone is an operand: standard input's usual name, and a file name here.
        if (!operands_only && arg.size() > 1 && arg.front() == '-') {
            fails(err, "unknown option '" + arg + "'");
            return std::nullopt;
        }
        if (command.operands.check) {
            if (const std::string problem = command.operands.check(arg); !problem.empty()) {
                fails(err, problem);
                return std::nullopt;
            }
        }
        if (parsed.operands().size() == command.operands.most) {
            fails(err, std::string(command.name) + " " + command.operands.too_many);
            return std::nullopt;
        }
        parsed.add_operand(arg);
    }
    return parsed;
}

bool asks_help(const Command& command, const std::vector<std::string>& args)
{
    const auto end = std::find(args.begin(), args.end(), "--");
    const bool short_help = command.option("-h") == nullptr;
    return std::any_of(args.begin(), end,
                       [&](const std::string& arg) { return arg == "--help" || (short_help && arg == "-h"); });
}

std::string program_help()
{
    std::string text = std::string(HELP_HEAD) + "\nCommands:\n";
    const auto all = commands();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Command& command = *all[i];
        text += indented(command.synopsis, std::string("  ") + command.name + " ");
        text += indented(command.summary, "      ");
        // A note shared by neighbouring commands follows the last of them.
        const bool last_of_note = i + 1 == all.size() || all[i + 1]->note != command.note;
        if (command.note && last_of_note)
            text += indented(command.note, "      ");
    }
    text += "\nOptions:\n";
    for (const Option& option : PROGRAM_OPTIONS)
        text += option_lines(option, PROGRAM_COLUMN);
    return with_lists(text + "\n" + HELP_TAIL);
}

std::string command_help(const Command& command)
{
    std::string text = indented(command.synopsis, std::string("Usage: ") + PROGRAM_NAME + " " + command.name + " ");
    // Further forms line up under the first.
    for (std::size_t at = text.find('\n'); at != std::string::npos && at + 1 < text.size();
         at = text.find('\n', at + 1))
        text.replace(at + 1, 7, "       ");
    text += "\n" + std::string(command.summary) + "\n";
    if (command.note)
        text += "\n" + std::string(command.note) + "\n";
    text += "\nOptions:\n";
    for (const Option& option : command.options)
        text += option_lines(option, COMMAND_COLUMN);
    const bool own_h = command.option("-h") != nullptr;
    text += option_lines(Option{own_h ? "--help" : "-h", own_h ? nullptr : "--help", nullptr, "show this text"},
                         COMMAND_COLUMN);
    text += std::string("\nExample:\n  ") + PROGRAM_NAME + " " + command.example + "\n";
    return with_lists(text);
}

} // namespace cli
