// The web page's find across the images it was given: `kestrel-cli find`'s rules (files/find_rules.h) over the
// files in the page's folder, each archive of several images looked into image by image.
#include "files/find_rules.h"
#include "image/image_kinds.h"
#include "image/sector_source.h"
#include "web_answer.h"

#include <emscripten/bind.h>

#include <string>
#include <vector>

namespace web {
namespace {

// The files of the images at `paths` (one a line) that `pattern` and the types in `types` (comma-separated) find:
// each hit as kestrel-cli find prints it (image, slot, name, type, length), and the images that could not be read,
// with the reason; or why the pattern or a type is refused, in kestrel-cli's words.
std::string find_files(const std::string& pattern, const std::string& types, const std::string& paths)
{
    std::vector<files::TypeFilter> filters;
    for (const std::string& type : split(types, ',')) {
        const auto filter = files::parse_type(type);
        if (!filter)
            return status_only("unknown type '" + type + "' (" + files::type_names_text() + ")", false);
        filters.push_back(*filter);
    }
    const std::string folded = files::folded(files::latin1_pattern(pattern));
    if (const std::string problem = files::pattern_problem(folded); !problem.empty())
        return status_only("invalid PATTERN '" + pattern + "': " + problem, false);
    std::vector<std::string> hits;
    std::vector<std::string> unread;
    // An archive of several images is looked into where it stands, image by image, as kestrel-cli does.
    auto find_in = [&](const std::string& path, auto& self) -> void {
        auto opened = image::open_image(path);
        if (const auto* choice = std::get_if<image::ArchiveChoice>(&opened)) {
            for (const std::string& name : choice->names)
                self(path + "/" + name, self);
            return;
        }
        if (const auto* failure = std::get_if<common::Error>(&opened)) {
            unread.push_back(path + ": " + failure->text);
            return;
        }
        for (const image::CatalogueRow& row : image::read_directory(*std::get<image::OpenImage>(opened).source)) {
            if (files::is_found(row, folded, filters))
                hits.push_back(path + '\t' + std::to_string(row.slot) + '\t' + row.name + '\t' + row.type_text + '\t' +
                               std::to_string(row.length));
        }
    };
    for (const std::string& path : split(paths, '\n'))
        find_in(path, find_in);
    Json json;
    json.open().flag("ok", true).list("hits", hits).list("unread", unread);
    return json.close().text();
}

} // namespace
} // namespace web

EMSCRIPTEN_BINDINGS(kestrel_find)
{
    emscripten::function("findFiles", &web::find_files);
}
