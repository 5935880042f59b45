// The web page's edits of the listed disc: add, remove, rename and the hidden and protected flags, through the
// same functions as kestrel-cli's edits and the window's. Each works on the listed disc as a value and leaves the
// edited disc's 819,200 bytes for output(); the page keeps the discs before and after for undo and redo, and lists
// the edited one. Nothing is written anywhere else.
#include "common/path_text.h"
#include "files/disc_edit.h"
#include "web_answer.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <string>
#include <variant>
#include <vector>

namespace web {
namespace {

// What edit_listed answers when no image is listed, or its disc cannot be read whole.
std::variant<files::DiscValue, std::string> listed_value()
{
    if (listed.empty())
        return std::string("No image is listed");
    const image::Layout layout =
        listed.image.layout == image::Layout::None ? image::Layout::Interleaved : listed.image.layout;
    return files::read_disc_value(*listed.image.source, layout);
}

// Runs `edit` on the listed disc: the edited disc is left for output(), and the answer holds the lines that say
// what was done, the changed slots, the extension the edited disc is saved with and `notes` (what the files added
// left out); or why nothing was done.
template <class Edit> std::string edit_listed(Edit edit, const std::vector<std::string>& notes = {})
{
    last_output.clear();
    auto before = listed_value();
    if (const auto* why = std::get_if<std::string>(&before))
        return status_only(*why, false);
    files::EditOutcome outcome = edit(std::get<files::DiscValue>(before));
    if (const auto* why = std::get_if<std::string>(&outcome))
        return status_only(common::file_part(listed.path) + ": " + *why, false);
    auto& done = std::get<files::Edited>(outcome);
    std::vector<std::string> slots;
    for (const int slot : done.changed_slots)
        slots.push_back(std::to_string(slot));
    Json json;
    json.open().flag("ok", true).list("lines", done.lines).list("changed", slots);
    json.field("extension", done.disc.layout == image::Layout::Sequential ? ".img" : ".mgt");
    if (!notes.empty())
        json.list("notes", notes);
    last_output = std::move(done.disc.bytes);
    return json.close().text();
}

files::FlagChange flag_change(int change)
{
    return change > 0 ? files::FlagChange::Set : change < 0 ? files::FlagChange::Clear : files::FlagChange::Keep;
}

// A disc name from the page: the bytes of a list of numbers 0-255 (disc names are raw bytes, not UTF-8).
std::string name_bytes(const emscripten::val& codes)
{
    std::string name;
    for (const int code : emscripten::vecFromJSArray<int>(codes))
        name += static_cast<char>(code & 0xFF);
    return name;
}

// The files at `paths` (one a line, in the page's folder of files to add) put on the listed disc. Code files and
// BASIC text go on as ZX files, or SAM files with `sam`; `start` (-1: the default) is a code file's address.
std::string add_files(const std::string& paths, bool sam, int start)
{
    files::AddOptions options;
    options.sam = sam;
    if (start >= 0)
        options.start = static_cast<std::uint32_t>(start);
    std::vector<files::NewFile> found;
    files::Overflow overflow;
    std::vector<std::string> notes;
    for (const std::string& path : split(paths, '\n')) {
        auto made = files::files_from_path(path, options);
        if (const auto* why = std::get_if<std::string>(&made))
            return status_only(*why, false);
        auto& files_of_path = std::get<files::FilesToAdd>(made);
        notes.insert(notes.end(), files_of_path.notes.begin(), files_of_path.notes.end());
        for (files::NewFile& file : files_of_path.files)
            found.push_back(std::move(file));
        overflow.files += files_of_path.overflow.files;
        overflow.sectors += files_of_path.overflow.sectors;
    }
    // What was skipped in the tapes goes with the answer, as kestrel-cli reports it beside the edit.
    return edit_listed([&](const files::DiscValue& disc) { return files::add_files(disc, found, overflow); }, notes);
}

std::string remove_files(const std::string& slots, bool force)
{
    const std::vector<int> list = slot_numbers(slots);
    return edit_listed([&](const files::DiscValue& disc) { return files::remove_files(disc, list, false, force); });
}

std::string rename_file(int slot, const emscripten::val& name, bool force)
{
    const std::string bytes = name_bytes(name);
    return edit_listed([&](const files::DiscValue& disc) { return files::rename_file(disc, slot, bytes, force); });
}

std::string set_flags(int slot, int hidden, int protect)
{
    return edit_listed([&](const files::DiscValue& disc) {
        return files::set_flags(disc, slot, flag_change(hidden), flag_change(protect));
    });
}

} // namespace
} // namespace web

EMSCRIPTEN_BINDINGS(kestrel_edits)
{
    emscripten::function("addFiles", &web::add_files);
    emscripten::function("removeFiles", &web::remove_files);
    emscripten::function("renameFile", &web::rename_file);
    emscripten::function("setFlags", &web::set_flags);
}
