#include "cli/manual.h"

#include "cli/command.h"
#include "common/version.h"

#include <cctype>

namespace cli {
namespace {

bool is_lower(char c)
{
    return c >= 'a' && c <= 'z';
}

// The length of the option name that starts at text[at] ("--no-rewrite", "-o", "+h"), 0 when none does there.
std::size_t option_length(std::string_view text, std::size_t at)
{
    const auto char_at = [&](std::size_t i) {
        return i < text.size() ? text[i] : '\0';
    };
    if (char_at(at) == '-' && char_at(at + 1) == '-' && is_lower(char_at(at + 2))) {
        std::size_t end = at + 2;
        while (is_lower(char_at(end)) || char_at(end) == '-' || std::isdigit(static_cast<unsigned char>(char_at(end))))
            ++end;
        return end - at;
    }
    const bool single = (char_at(at) == '-' || char_at(at) == '+') && is_lower(char_at(at + 1)) &&
                        !is_lower(char_at(at + 2)) && char_at(at + 2) != '-';
    return single ? 2 : 0;
}

// Characters as roff shows them as typed: the minus sign of options and ranges, backslashes.
std::string escaped(std::string_view text)
{
    std::string roff;
    for (const char c : text) {
        if (c == '-')
            roff += "\\-";
        else if (c == '\\')
            roff += "\\e";
        else
            roff += c;
    }
    return roff;
}

// Prose of the help as roff: option names in bold, a line that would start with a control character made safe.
std::string prose(std::string_view text)
{
    std::string roff;
    for (std::size_t at = 0; at < text.size();) {
        const bool word_start = at == 0 || std::string_view(" ([|,/\n").find(text[at - 1]) != std::string_view::npos;
        if (const std::size_t length = word_start ? option_length(text, at) : 0; length > 0) {
            roff += "\\fB\\%" + escaped(text.substr(at, length)) + "\\fR";
            at += length;
            continue;
        }
        if ((at == 0 || text[at - 1] == '\n') && (text[at] == '.' || text[at] == '\''))
            roff += "\\&";
        // A word with a hyphen (zx-string-array, 0-63) is not broken at the end of a line.
        const std::size_t word_end = std::min(text.find_first_of(" \n", at), text.size());
        if (word_start && text.substr(at, word_end - at).find('-') != std::string_view::npos)
            roff += "\\%";
        roff += escaped(text.substr(at, 1));
        ++at;
    }
    return roff + '\n';
}

// A form of a command as roff: options and literal words (A:) in bold, the values the user gives in italics.
std::string form(std::string_view name, std::string_view text)
{
    std::string roff = "\\fB" + escaped(name) + "\\fR";
    if (!text.empty())
        roff += ' ';
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find_first_of(" []|", at), text.size());
        if (end == at) {
            roff += text[at++];
            continue;
        }
        std::string_view word = text.substr(at, end - at);
        const bool more = word.ends_with("...");
        if (more)
            word.remove_suffix(3);
        const bool literal = word.front() == '-' || word.front() == '+' || word.back() == ':';
        roff += (literal ? "\\fB\\%" : "\\fI\\%") + escaped(word) + "\\fR" + (more ? "..." : "");
        at = end;
    }
    return roff + '\n';
}

std::string option_item(const Option& option)
{
    std::string roff = ".TP\n\\fB\\%" + escaped(option.name) + "\\fR";
    if (option.alias)
        roff += ", \\fB\\%" + escaped(option.alias) + "\\fR";
    if (option.value)
        roff += " \\fI" + escaped(option.value) + "\\fR";
    return roff + '\n' + prose(with_lists(option.help) + (option.repeatable ? " (may be given more than once)" : ""));
}

std::string commands_section()
{
    std::string roff = ".SH COMMANDS\n";
    const auto all = commands();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Command& command = *all[i];
        const std::string_view synopsis = command.synopsis;
        for (std::size_t at = 0; at < synopsis.size();) {
            const std::size_t end = std::min(synopsis.find('\n', at), synopsis.size());
            roff += (at == 0 ? ".TP\n" : ".TQ\n") + form(command.name, synopsis.substr(at, end - at));
            at = end + 1;
        }
        roff += prose(with_lists(command.summary));
        roff += ".sp\n.RS\n.EX\n" + escaped(std::string("kestrel-cli ") + command.example) + "\n.EE\n.RE\n";
        if (!command.options.empty()) {
            roff += ".RS\n";
            for (const Option& option : command.options)
                roff += option_item(option);
            roff += ".RE\n";
        }
        if (command.note && (i + 1 == all.size() || all[i + 1]->note != command.note))
            roff += ".PP\n" + prose(with_lists(command.note));
    }
    return roff;
}

std::string options_section()
{
    std::string roff = ".SH OPTIONS\n";
    for (const Option& option : program_options())
        roff += option_item(option);
    return roff;
}

void replace(std::string& text, std::string_view mark, const std::string& value)
{
    if (const std::size_t at = text.find(mark); at != std::string::npos)
        text.replace(at, mark.size(), value);
}

} // namespace

std::string manual_page(std::string page)
{
    replace(page, "@COMMANDS@\n", commands_section());
    replace(page, "@OPTIONS@\n", options_section());
    replace(page, "@VERSION@", common::VERSION);
    return page;
}

} // namespace cli
