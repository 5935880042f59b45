// The page asks the core's tables of file kinds which files it takes: the images of a folder, the tapes dropped for
// a new disc, and what its file choosers offer.
#include "image/host_kinds.h"
#include "image/image_kinds.h"
#include "web_answer.h"

#include <emscripten/bind.h>

#include <array>
#include <string>

namespace web {
namespace {

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
    const std::string pattern = what == "tapes" ? image::host_pattern(std::array{image::HostKind::Tape})
                                                : image::name_pattern(image::KindSet::All);
    std::string list;
    for (const std::string& each : split(pattern, ';'))
        list.append(list.empty() ? "" : ",").append(each.substr(1)); // "*.tap" is ".tap"
    return list;
}

} // namespace
} // namespace web

EMSCRIPTEN_BINDINGS(kestrel_kinds)
{
    // Whether a file of a folder is one kestrel-cli's folder walks read: an image, packed image or archive by name.
    emscripten::function("isImageName", &web::is_image_name);
    // Whether a dropped file is a tape, for "make a disc", as the host kinds table names tapes.
    emscripten::function("isTapeName", &web::is_tape_name);
    emscripten::function("accepted", &web::accepted);
}
