#include "cli/cli.h"
#include "cli/collection.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "image/directory.h"
#include "image/file_types.h"

#include <fnmatch.h>

#include <algorithm>
#include <optional>
#include <sstream>

namespace cli {
namespace {

// The groups --type takes besides the type keys of the table, each a question about a listed file.
struct TypeGroup
{
    const char* name;
    bool (*matches)(const image::CatalogueRow& row);
};

constexpr TypeGroup TYPE_GROUPS[] = {
    {"zx",
     [](const image::CatalogueRow& row) {
         return image::file_type(row.type_code).zx;
     }},
    {"sam",
     [](const image::CatalogueRow& row) {
         return image::file_type(row.type_code).sam;
     }},
    {"snapshot",
     [](const image::CatalogueRow& row) {
         return image::file_type(row.type_code).snapshot;
     }},
    {"subdirectory",
     [](const image::CatalogueRow& row) {
         return image::file_type(row.type_code).subdirectory;
     }},
    // What the list shows as a screen (6,912 bytes, whatever the type) and the screen types.
    {"screen",
     [](const image::CatalogueRow& row) {
         return image::is_screen(row) || row.type_code == image::TYPE_ZX_SCREEN ||
                row.type_code == image::TYPE_SAM_SCREEN;
     }},
};

// One --type: a type key of the table, a group, or a type code 0-63.
struct TypeFilter
{
    std::optional<int> code;
    const TypeGroup* group = nullptr;

    bool matches(const image::CatalogueRow& row) const { return group ? group->matches(row) : row.type_code == *code; }
};

std::string type_names_text()
{
    std::string text;
    for (int code = 0; code < image::TYPE_CODES; ++code) {
        if (!image::file_type(code).key.empty())
            text += std::string(text.empty() ? "" : ", ") + std::string(image::file_type(code).key);
    }
    for (const TypeGroup& group : TYPE_GROUPS)
        text += std::string(", ") + group.name;
    return text + " or a type code 0-" + std::to_string(image::TYPE_CODES - 1);
}

std::optional<TypeFilter> parse_type(const std::string& text)
{
    for (int code = 0; code < image::TYPE_CODES; ++code) {
        if (!image::file_type(code).key.empty() && image::file_type(code).key == text)
            return TypeFilter{code, nullptr};
    }
    for (const TypeGroup& group : TYPE_GROUPS) {
        if (text == group.name)
            return TypeFilter{std::nullopt, &group};
    }
    int code = -1;
    if (!text.empty() && text.size() <= 2 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        (code = std::stoi(text)) < image::TYPE_CODES)
        return TypeFilter{code, nullptr};
    return std::nullopt;
}

// Latin-1 letters in lower case: A-Z and the accented capitals 0xC0-0xDE but the multiplication sign.
char fold(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
        return static_cast<char>(byte + 0x20);
    return c;
}

std::string folded(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), fold);
    return text;
}

// The pattern as Latin-1 bytes: a pattern in UTF-8 whose characters are all Latin-1 becomes those bytes; any
// other pattern is taken byte for byte.
std::string latin1_pattern(const std::string& pattern)
{
    std::string bytes;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        const auto lead = static_cast<unsigned char>(pattern[at]);
        if (lead < 0x80) {
            bytes += pattern[at];
            continue;
        }
        const auto next = at + 1 < pattern.size() ? static_cast<unsigned char>(pattern[at + 1]) : 0;
        if ((lead != 0xC2 && lead != 0xC3) || (next & 0xC0) != 0x80)
            return pattern;
        bytes += static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F));
        ++at;
    }
    return bytes;
}

// The character classes a bracket expression may name, as fnmatch knows them in the C locale.
constexpr std::string_view CHARACTER_CLASSES[] = {"alnum", "alpha", "blank", "cntrl", "digit", "graph",
                                                  "lower", "print", "punct", "space", "upper", "xdigit"};

// Where the bracket expression opening at `open` ends (its ']'), or npos when it does not; `problem` gets why a
// class or collating element in it is refused (the end is then of no matter). A "[:" or "[=" that does not form
// one is a '[' in the set, as fnmatch takes it.
std::size_t bracket_end(std::string_view pattern, std::size_t open, std::string& problem)
{
    std::size_t at = open + 1;
    if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^'))
        ++at;
    if (at < pattern.size() && pattern[at] == ']')
        ++at; // a ']' first is one of the set
    for (; at < pattern.size() && pattern[at] != ']'; ++at) {
        const char kind = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
        if (pattern[at] == '\\') {
            ++at;
            continue;
        }
        if (pattern[at] != '[' || (kind != ':' && kind != '=' && kind != '.'))
            continue;
        const std::size_t close = pattern.find(std::string{kind, ']'}, at + 2);
        const std::string_view name =
            close == std::string_view::npos ? std::string_view() : pattern.substr(at + 2, close - at - 2);
        const bool is_word =
            !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        if (kind == '.' && name.size() != 1) {
            problem = "a collating element [.c.] holds one character";
            return at;
        }
        if (kind == ':' && is_word &&
            std::find(std::begin(CHARACTER_CLASSES), std::end(CHARACTER_CLASSES), name) ==
                std::end(CHARACTER_CLASSES)) {
            problem = "no character class [:" + std::string(name) + ":]";
            return at;
        }
        if ((kind == ':' && is_word) || (kind != ':' && name.size() == 1))
            at = close + 1;
    }
    return at < pattern.size() ? at : std::string_view::npos;
}

// Why fnmatch would not take the pattern as written, "" when it would. It takes an unclosed '[' as the character
// itself and never matches with a lone '\' at the end or an unknown class: a pattern that means something else
// than was meant.
std::string pattern_problem(std::string_view pattern)
{
    std::string problem;
    for (std::size_t at = 0; at < pattern.size() && problem.empty(); ++at) {
        if (pattern[at] == '\\') {
            if (++at == pattern.size())
                return "it ends in a lone \\ (\\\\ is the character)";
            continue;
        }
        if (pattern[at] != '[')
            continue;
        at = bracket_end(pattern, at, problem);
        if (problem.empty() && at == std::string_view::npos)
            return "a '[' without its ']' (\\[ is the character)";
    }
    return problem;
}

struct FindArgs
{
    std::string pattern; // Latin-1, folded
    std::vector<std::string> paths;
    std::vector<TypeFilter> types;
    bool recursive = false;
    bool json = false;
};

std::optional<FindArgs> parse_find_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("find", args, err);
    FindArgs parsed;
    std::optional<std::string> pattern;
    while (walk.next()) {
        if (walk.is("-r") || walk.is("--recursive")) {
            parsed.recursive = true;
        } else if (walk.is("--json")) {
            parsed.json = true;
        } else if (walk.is("--type")) {
            const auto text = walk.value();
            if (!text)
                return std::nullopt;
            const auto type = parse_type(*text);
            if (!type) {
                usage_error(err, "unknown type '" + *text + "' (" + type_names_text() + ")");
                return std::nullopt;
            }
            parsed.types.push_back(*type);
        } else if (!walk.is_operand()) {
            walk.unknown_option();
            return std::nullopt;
        } else if (!pattern) {
            pattern = walk.arg();
        } else {
            parsed.paths.push_back(walk.arg());
        }
    }
    if (!pattern || parsed.paths.empty()) {
        walk.missing("a PATTERN and at least one PATH");
        return std::nullopt;
    }
    parsed.pattern = folded(latin1_pattern(*pattern));
    if (const std::string problem = pattern_problem(parsed.pattern); !problem.empty()) {
        usage_error(err, "invalid PATTERN '" + *pattern + "': " + problem);
        return std::nullopt;
    }
    return parsed;
}

} // namespace

int run_find(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto parsed = parse_find_args(args, err);
    if (!parsed)
        return EXIT_USAGE;
    const FindArgs& find = *parsed;
    auto wanted = [&find](const image::CatalogueRow& row) {
        if (!find.types.empty() &&
            std::none_of(find.types.begin(), find.types.end(), [&](const TypeFilter& t) { return t.matches(row); }))
            return false;
        // The name as the list shows it, without the spaces that pad it to its ten bytes.
        const std::string_view name(row.name.data(), row.name.find_last_not_of(' ') + 1);
        return ::fnmatch(find.pattern.c_str(), folded(std::string(name)).c_str(), 0) == 0;
    };
    const CollectionResult result = for_each_image(
        find.paths, {find.recursive, true, true, find.json ? "hits" : nullptr},
        [&](ImageAt& at) {
            if (const auto* failure = std::get_if<image::OpenFailure>(&at.opened))
                return unreadable_report(at.shown, failure->text);
            image::OpenImage& opened = std::get<image::OpenImage>(at.opened);
            ImageReport r;
            std::ostringstream messages;
            report_findings(messages, at.shown, opened);
            r.err = messages.str();
            for (const image::CatalogueRow& row : image::read_directory(*opened.source)) {
                if (!wanted(row))
                    continue;
                if (find.json) {
                    r.write_item([&](JsonWriter& hit) { write_hit(hit, at.shown, row); });
                } else {
                    ++r.items;
                    r.out += at.label + '\t' + std::to_string(row.slot) + '\t' + row.name + '\t' + row.type_text +
                             '\t' + std::to_string(row.length) + '\n';
                }
            }
            return r;
        },
        out, err);
    // As grep: 0 when something was found, 1 when nothing was, 2 when an image could not be read.
    return std::max(result.code, result.items == 0 ? EXIT_PROBLEM : EXIT_OK);
}

} // namespace cli
