// The web page's find across the images it was given: `kestrel-cli find`'s rules (files/find_rules.h) over the
// files in the page's folder, each archive of several images looked into image by image.
#include "files/find_rules.h"
#include "image/host_kinds.h"
#include "image/image_kinds.h"
#include "image/sector_source.h"
#include "web_answer.h"

#include <emscripten/bind.h>

#include <array>
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

bool is_image_name(const std::string& name)
{
    return image::is_any_image_name(name);
}

bool is_tape_name(const std::string& name)
{
    return image::host_kind_of_name(name) == image::HostKind::Tape;
}

// What the page's file choosers take, as their accept attribute lists it: ".mgt,.dsk,.img,.sad,.gz,.zip" for
// images, ".tap,.tzx" for tapes.
std::string accepted(const std::string& what)
{
    std::string pattern = what == "tapes" ? image::host_pattern(std::array{image::HostKind::Tape})
                                          : image::name_pattern(image::KindSet::All);
    std::string list;
    for (const std::string& each : split(pattern, ';'))
        list.append(list.empty() ? "" : ",").append(each.substr(1)); // "*.tap" is ".tap"
    return list;
}

} // namespace web

EMSCRIPTEN_BINDINGS(kestrel_find)
{
    emscripten::function("findFiles", &web::find_files);
    // Whether a file of a folder is one kestrel-cli's folder walks read: an image, packed image or archive by name.
    emscripten::function("isImageName", &web::is_image_name);
    // Whether a dropped file is a tape, for "make a disc", as the host kinds table names tapes.
    emscripten::function("isTapeName", &web::is_tape_name);
    emscripten::function("accepted", &web::accepted);
}
