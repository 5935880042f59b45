// The web page's entry into the core: the same functions the desktop programs call, on files the page writes into
// Emscripten's in-memory file system. Each call answers with a JSON text; a call that makes a file (a tape, a
// snapshot, a disc, a screen's pixels) leaves its bytes for output(). Disc names and listing lines are raw bytes: the
// JSON carries each byte as the character of that code (Latin-1), as the desktop window shows them (web_answer.h).
#include "common/file_read.h"
#include "common/path_text.h"
#include "common/version.h"
#include "files/make_disc.h"
#include "image/file_export.h"
#include "image/image_kinds.h"
#include "image/plain_image.h"
#include "image/sector_source.h"
#include "session/row_commands.h"
#include "snapshot/plusd_snapshot.h"
#include "web_answer.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace web;

namespace {

// The largest file a call reads back from the in-memory file system: a tape of a whole disc is less.
constexpr std::size_t MAX_OUTPUT_BYTES = 16u << 20;
constexpr std::uint8_t OPAQUE = 0xFF;

std::string slot_message(int slot, const std::string& reason)
{
    return session::slot_message(listed, slot, reason).bytes();
}

std::vector<std::string> texts(const std::vector<session::Text>& lines)
{
    std::vector<std::string> bytes;
    for (const session::Text& line : lines)
        bytes.push_back(line.bytes());
    return bytes;
}

void add_row(Json& json, const image::CatalogueRow& row)
{
    const auto cells = image::cell_texts(row);
    json.open().list("cells", cells);
    json.field("slot", row.slot).field("type", row.type_code).field("note", image::type_note(row.type_code));
    // What the window's row menu offers for the row.
    const session::RowCommands commands = session::row_commands(row);
    json.flag("screen", commands.screen)
        .flag("tape", commands.tape)
        .flag("basic", commands.basic)
        .flag("export", commands.export_file)
        .flag("snapshot", commands.snapshot)
        .flag("sam", image::file_type(row.type_code).sam_system)
        .flag("hidden", row.hidden)
        .flag("protected", row.protected_file);
    json.close();
}

// Lists the image at `path`, as the window does: the catalogue, the container's notes and damage, the scan's
// lines, and the status line's text; for an archive of several images, their names to choose from.
std::string list_image(const std::string& path)
{
    Json json;
    json.open();
    image::Opened opened = image::open_image(path);
    if (const auto* choice = std::get_if<image::ArchiveChoice>(&opened)) {
        // An archive of several images: the page asks which, and lists ARCHIVE/NAME.
        listed = {};
        json.flag("ok", false).list("choice", choice->names).list("scan", std::vector<std::string>{});
        json.field("status", common::file_part(path) + ": " + choice->reason());
        return json.close().text();
    }
    std::variant<image::OpenImage, common::Error> one;
    if (auto* failure = std::get_if<common::Error>(&opened))
        one = std::move(*failure);
    else
        one = std::get<image::OpenImage>(std::move(opened));
    session::Listing listing = session::list_opened(path, std::move(one));
    listed = std::move(listing.listed);
    if (listed.empty()) {
        json.flag("ok", false).field("failure", listing.failure).list("scan", texts(listing.pane));
        json.field("status", listing.status.bytes());
        return json.close().text();
    }
    json.flag("ok", true).field("name", common::file_part(path)).flag("scannable", listed.image.scannable);
    json.field("rawSize", listed.image.raw_size).field("imageBytes", image::IMAGE_BYTES);
    // Whether the image comes in another form than a plain image file of a disc's size: it can be converted to one.
    const image::ImageKind* kind = image::kind_of_name(path);
    json.flag("convertible", kind == nullptr || kind->form != image::ImageForm::Raw ||
                                 listed.image.raw_size != image::IMAGE_BYTES || listed.image.layout_by_content);
    json.list("notes", listed.image.notes).list("findings", listed.image.findings);
    json.open_list("rows");
    for (const image::CatalogueRow& row : listed.catalogue)
        add_row(json, row);
    json.close_list();
    json.list("scan", listed.scan.lines).field("status", listing.status.bytes());
    return json.close().text();
}

// The tape of the listed files in `slots` ("3,7,12"; empty: every listed file), with or without the loader
// rewrite, written to `tape_path`. Its bytes are left for output().
std::string make_tape(const std::string& slots, bool rewrite, const std::string& tape_path)
{
    last_output.clear();
    if (listed.empty())
        return status_only("No image is listed", false);
    const std::vector<int> numbers = slot_numbers(slots);
    const std::set<int> wanted(numbers.begin(), numbers.end());
    const tape::ConversionResult result = session::make_tape(listed, wanted, rewrite, tape_path).result;
    std::vector<std::string> messages;
    for (const tape::ShortFile& file : result.short_files)
        messages.push_back(slot_message(file.slot, image::shortfall_text(file.chain)));
    for (const tape::DiscOnlyLoader& loader : result.disc_only_loaders)
        messages.push_back(session::trimmed_name(loader.name) + ": loader still uses +D-only syntax (" +
                           tape::describe(loader.statements) + ")");
    if (result.write_failure.empty()) {
        auto bytes = common::read_whole_file(tape_path, MAX_OUTPUT_BYTES, "a tape");
        if (auto* read = std::get_if<std::vector<std::uint8_t>>(&bytes))
            last_output = std::move(*read);
        std::remove(tape_path.c_str());
    }
    Json json;
    json.open().flag("ok", result.write_failure.empty() && result.written > 0);
    json.list("lines", result.lines).list("messages", messages).field("written", result.written);
    json.field("failures", result.failures).field("writeFailure", result.write_failure);
    return json.close().text();
}

// The screen in `slot` as RGBA pixels for a canvas (left for output()), ZX or SAM as the window shows them.
std::string view_screen(int slot)
{
    last_output.clear();
    const image::CatalogueRow* row = row_of(slot);
    if (row == nullptr)
        return status_only("No file in slot " + std::to_string(slot), false);
    const auto read = session::screen_of(listed, *row, nullptr);
    if (const auto* failure = std::get_if<session::Text>(&read))
        return status_only(failure->bytes(), false);
    const auto& screen = std::get<session::Screen>(read);
    last_output.reserve(screen.pixels.size() * 4);
    for (const inspect::Pixel pixel : screen.pixels) {
        last_output.push_back(static_cast<std::uint8_t>(pixel >> 16));
        last_output.push_back(static_cast<std::uint8_t>(pixel >> 8));
        last_output.push_back(static_cast<std::uint8_t>(pixel));
        last_output.push_back(OPAQUE);
    }
    Json json;
    json.open().flag("ok", true).field("width", screen.width).field("height", screen.height);
    json.field("status", screen.shortfall.bytes());
    return json.close().text();
}

// The BASIC program in `slot` listed, with the loader rewrite for a ZX program when `rewrite` is set; the
// statements the rewrite leaves +D-only are marked as the window marks them.
std::string list_basic(int slot, bool rewrite)
{
    const image::CatalogueRow* row = row_of(slot);
    if (row == nullptr)
        return status_only("No file in slot " + std::to_string(slot), false);
    const auto read = session::basic_listing(listed, *row, rewrite);
    if (const auto* failure = std::get_if<session::Text>(&read))
        return status_only(failure->bytes(), false);
    const auto& listing = std::get<session::BasicListing>(read);
    // Whether the listing shows the loader as the tape holds it, not as the disc does.
    bool rewritten = false;
    if (rewrite) {
        const auto plain = session::basic_listing(listed, *row, false);
        const auto* disc = std::get_if<session::BasicListing>(&plain);
        rewritten = disc == nullptr || disc->lines != listing.lines;
    }
    Json json;
    json.open().flag("ok", true).field("title", listing.title.bytes()).flag("rewritten", rewritten);
    json.list("lines", listing.lines).list("messages", texts(listing.messages));
    return json.close().text();
}

// The +D snapshot in `slot` as a .z80 or .sna file (`format`), left for output().
std::string save_snapshot(int slot, const std::string& format)
{
    last_output.clear();
    if (row_of(slot) == nullptr)
        return status_only("No file in slot " + std::to_string(slot), false);
    const auto kind = snapshot::format_from_path("snapshot." + format);
    if (!kind)
        return status_only("snapshots are written as .z80 or .sna, not ." + format, false);
    const auto read = snapshot::read_plusd_snapshot(*listed.image.source, slot);
    if (const auto* error = std::get_if<common::Error>(&read))
        return status_only(slot_message(slot, error->text), false);
    last_output = snapshot::encode_file(std::get<snapshot::Snapshot>(read), *kind);
    return status_only("", true);
}

// The data of the file in `slot` as raw bytes, left for output().
std::string export_file(int slot)
{
    last_output.clear();
    if (row_of(slot) == nullptr)
        return status_only("No file in slot " + std::to_string(slot), false);
    auto exported = image::export_file(*listed.image.source, slot);
    if (const auto* reason = std::get_if<std::string>(&exported))
        return status_only(slot_message(slot, *reason), false);
    auto& file = std::get<image::ExportedFile>(exported);
    last_output = std::move(file.bytes);
    return status_only(file.chain.complete() ? "" : slot_message(slot, image::shortfall_text(file.chain)), true);
}

// A new disc image named `disc_name` (its extension gives the layout) of the tapes at the paths in `tape_paths`,
// one a line; its bytes are left for output().
std::string make_disc(const std::string& tape_paths, const std::string& disc_name)
{
    last_output.clear();
    const image::Layout layout = image::layout_from_path(disc_name);
    if (layout == image::Layout::None)
        return status_only(disc_name + ": not a disc image name", false);
    std::vector<files::LoadedTape> tapes;
    for (const std::string& path : split(tape_paths, '\n'))
        tapes.push_back(files::load_tape_file(path));
    Json json;
    json.open().list("lines", files::tape_lines(tapes));
    auto made = files::make_disc(tapes, layout, std::nullopt);
    if (const auto* reason = std::get_if<std::string>(&made)) {
        json.flag("ok", false).field("status", disc_name + ": " + *reason);
        return json.close().text();
    }
    auto& disc = std::get<files::MadeDisc>(made);
    last_output = std::move(disc.bytes);
    json.flag("ok", true).list("placed", disc.placed).field("status", "");
    return json.close().text();
}

// The listed image as a plain image file in its own layout (.mgt or .img), left for output(): what
// `kestrel-cli image` writes, with the same messages.
std::string convert_image()
{
    last_output.clear();
    if (listed.empty())
        return status_only("No image is listed", false);
    const image::Layout layout =
        listed.image.layout == image::Layout::None ? image::Layout::Interleaved : listed.image.layout;
    image::PlainImage plain = image::plain_image(*listed.image.source, layout);
    std::vector<std::string> messages = listed.image.notes;
    messages.insert(messages.end(), listed.image.findings.begin(), listed.image.findings.end());
    if (plain.unread > 0)
        messages.push_back(std::to_string(plain.unread) + " sectors missing or unreadable, written as zeros");
    if (listed.image.raw_size != image::IMAGE_BYTES)
        messages.push_back(image::size_reason(listed.image.raw_size) + "; written as 819200 bytes");
    last_output = std::move(plain.bytes);
    Json json;
    json.open().flag("ok", true).field("extension", layout == image::Layout::Sequential ? ".img" : ".mgt");
    json.list("messages", messages);
    return json.close().text();
}

// The bytes the last call made, as a new Uint8Array.
emscripten::val output()
{
    return emscripten::val::global("Uint8Array")
        .new_(emscripten::typed_memory_view(last_output.size(), last_output.data()));
}

std::string version()
{
    return common::VERSION;
}

} // namespace

EMSCRIPTEN_BINDINGS(kestrel)
{
    emscripten::function("listImage", &list_image);
    emscripten::function("makeTape", &make_tape);
    emscripten::function("viewScreen", &view_screen);
    emscripten::function("listBasic", &list_basic);
    emscripten::function("saveSnapshot", &save_snapshot);
    emscripten::function("exportFile", &export_file);
    emscripten::function("makeDisc", &make_disc);
    emscripten::function("convertImage", &convert_image);
    emscripten::function("output", &output);
    emscripten::function("version", &version);
}
