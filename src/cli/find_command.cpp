#include "cli/cli.h"
#include "cli/collection.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "files/find_rules.h"
#include "image/directory.h"
#include "image/file_types.h"

#include <algorithm>
#include <optional>
#include <sstream>

namespace cli {
namespace {

using files::folded;
using files::latin1_pattern;
using files::parse_type;
using files::pattern_problem;
using files::type_names_text;
using files::TypeFilter;

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
        return files::is_found(row, find.pattern, find.types);
    };
    const CollectionResult result = for_each_image(
        find.paths, {find.recursive, true, true, find.json ? "hits" : nullptr},
        [&](ImageAt& at) {
            if (const auto* failure = std::get_if<image::OpenFailure>(&at.opened))
                return unreadable_report(at.shown, failure->reason);
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
