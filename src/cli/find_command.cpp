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

std::string check_type(const std::string& text)
{
    return parse_type(text) ? "" : "unknown type '" + text + "' (" + type_names_text() + ")";
}

int run_find(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.operands().size() < 2)
        return missing(FIND_COMMAND, "a PATTERN and at least one PATH", err);
    const std::string& given = args.operands().front();
    const std::string pattern = folded(latin1_pattern(given));
    if (const std::string problem = pattern_problem(pattern); !problem.empty())
        return usage_error(err, "invalid PATTERN '" + given + "': " + problem);
    const std::vector<std::string> paths(args.operands().begin() + 1, args.operands().end());
    std::vector<TypeFilter> types;
    for (const std::string& type : args.values("--type"))
        types.push_back(*parse_type(type));
    const bool json = args.has("--json");
    auto wanted = [&](const image::CatalogueRow& row) {
        return files::is_found(row, pattern, types);
    };
    const CollectionResult result = for_each_image(
        paths, {args.has("-r"), true, true, json ? "hits" : nullptr},
        [&](ImageAt& at) {
            if (const auto* failure = std::get_if<common::Error>(&at.opened))
                return unreadable_report(at.shown, failure->text);
            image::OpenImage& opened = std::get<image::OpenImage>(at.opened);
            ImageReport r;
            std::ostringstream messages;
            report_findings(messages, at.shown, opened);
            r.err = messages.str();
            for (const image::CatalogueRow& row : image::read_directory(*opened.source)) {
                if (!wanted(row))
                    continue;
                if (json) {
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

} // namespace

const Command FIND_COMMAND{
    .name = "find",
    .synopsis = "PATTERN PATH... [-r] [--type TYPE]... [--json]",
    .summary = "Files whose names (without their padding spaces) match the shell PATTERN (*, ?, [...]; any\n"
               "case): one line per file with the image, slot, name, type and length, separated by TAB. TYPE is a type "
               "(zx-basic, sam-code, ...)\n"
               "or a group (zx, sam, screen, snapshot, subdirectory). Exit status 1 when nothing matched.",
    .options = {RECURSIVE,
                {"--type", nullptr, "TYPE",
                 "only files of this type ({TYPES}), group (zx, sam, screen, snapshot, subdirectory) or type code 0-63",
                 true, check_type},
                JSON},
    .example = "find -r '*elite*' discs/ --type zx-code",
    .run = run_find,
};

} // namespace cli
