// The web page's entry into the core: the same functions the desktop programs call, on files the page writes into
// Emscripten's in-memory file system. Each call answers with a JSON text; a call that makes a file (a tape, a
// snapshot, a disc, a screen's pixels) leaves its bytes for output(). Disc names and listing lines are raw bytes: the
// JSON carries each byte as the character of that code (Latin-1), as the desktop window shows them.
#include "basic/slot_listing.h"
#include "common/atomic_file.h"
#include "common/file_read.h"
#include "common/path_text.h"
#include "common/version.h"
#include "files/make_disc.h"
#include "image/directory.h"
#include "image/file_export.h"
#include "image/file_types.h"
#include "image/geometry.h"
#include "image/sector_source.h"
#include "inspect/directory_check.h"
#include "inspect/scan.h"
#include "inspect/screen.h"
#include "inspect/slot_screen.h"
#include "snapshot/plusd_snapshot.h"
#include "tape/basic_rewrite.h"
#include "tape/convert.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

// The largest file a call reads back from the in-memory file system: a tape of a whole disc is less.
constexpr std::size_t MAX_OUTPUT_BYTES = 16u << 20;
constexpr std::uint8_t OPAQUE = 0xFF;

// The listed image, kept open for the calls on its files.
struct Listed
{
    std::string path;
    std::string name; // the file name, as the messages show it
    image::OpenImage image;
    image::Catalogue catalogue;
};

std::optional<Listed> listed;
std::vector<std::uint8_t> last_output;

// A JSON value written piece by piece: objects of keys and values, lists of strings or objects.
class Json
{
public:
    Json& open() // an object, as a value or a list's item
    {
        value();
        m_text += '{';
        m_first = true;
        return *this;
    }
    Json& close()
    {
        m_text += '}';
        m_first = false;
        return *this;
    }
    Json& open_list(std::string_view name)
    {
        key(name);
        value();
        m_text += '[';
        m_first = true;
        return *this;
    }
    Json& close_list()
    {
        m_text += ']';
        m_first = false;
        return *this;
    }
    Json& field(std::string_view name, std::string_view text)
    {
        key(name);
        value();
        str(text);
        return *this;
    }
    Json& field(std::string_view name, std::int64_t number)
    {
        key(name);
        value();
        m_text += std::to_string(number);
        return *this;
    }
    Json& flag(std::string_view name, bool set)
    {
        key(name);
        value();
        m_text += set ? "true" : "false";
        return *this;
    }
    template <class Texts> Json& list(std::string_view name, const Texts& items)
    {
        open_list(name);
        for (const std::string& item : items) {
            value();
            str(item);
        }
        return close_list();
    }
    std::string text() const { return m_text; }

private:
    void key(std::string_view name)
    {
        value();
        str(name);
        m_text += ':';
        m_after_key = true;
    }
    // The comma before a value, unless it is the first of its object or list, or follows its key.
    void value()
    {
        if (m_after_key)
            m_after_key = false;
        else if (!m_first)
            m_text += ',';
        m_first = false;
    }
    // A string of bytes, each byte the character of that code.
    void str(std::string_view bytes)
    {
        m_text += '"';
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte == '"' || byte == '\\') {
                m_text += '\\';
                m_text += c;
            } else if (byte < 0x20 || byte >= 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                m_text += escaped;
            } else {
                m_text += c;
            }
        }
        m_text += '"';
    }

    std::string m_text;
    bool m_first = true;
    bool m_after_key = false;
};

std::string status_only(const std::string& status, bool ok)
{
    Json json;
    json.open().flag("ok", ok).field("status", status).close();
    return json.text();
}

// A file's name as the messages show it: without the padding of the directory.
std::string trimmed(const std::string& name)
{
    const auto end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

const image::CatalogueRow* row_of(int slot)
{
    if (!listed)
        return nullptr;
    for (const image::CatalogueRow& row : listed->catalogue) {
        if (row.slot == slot)
            return &row;
    }
    return nullptr;
}

// "NAME: slot N: " + reason, as the command line words a file's messages, without the program's name.
std::string slot_message(int slot, const std::string& reason)
{
    return listed->name + ": slot " + std::to_string(slot) + ": " + reason;
}

void add_row(Json& json, const image::CatalogueRow& row)
{
    const auto cells = image::cell_texts(row);
    json.open().list("cells", cells);
    json.field("slot", row.slot).field("type", row.type_code).field("note", image::type_note(row.type_code));
    // What the window's row menu offers for the row.
    json.flag("screen", image::is_screen(row) || row.type_code == image::TYPE_SAM_SCREEN)
        .flag("tape", image::has_tape_form(row.type_code))
        .flag("basic", row.type_code == image::TYPE_ZX_BASIC || row.type_code == image::TYPE_SAM_BASIC)
        .flag("export", image::is_exportable(row.type_code))
        .flag("snapshot", snapshot::is_plusd_snapshot_type(row.type_code));
    json.close();
}

// Lists the image at `path`, as the window does: the catalogue, the container's notes and damage, the scan's
// lines, and the status line's text.
std::string list_image(const std::string& path)
{
    listed.reset();
    const std::string name = common::file_part(path);
    Json json;
    json.open();
    auto opened = image::open_one_image(path);
    if (auto* failure = std::get_if<image::OpenFailure>(&opened)) {
        // An image of the right size that cannot be opened shows the scan's first line.
        std::vector<std::string> lines;
        if ((failure->kind == common::ErrorKind::Unopened) && image::regular_file_size(path) == image::IMAGE_BYTES)
            lines.push_back(inspect::scan_first_line(path));
        json.flag("ok", false).field("failure", failure->text).list("scan", lines);
        json.field("status", name + ": " + failure->text);
        return json.close().text();
    }
    Listed now{path, name, std::get<image::OpenImage>(std::move(opened)), {}};
    now.catalogue = image::read_directory(*now.image.source);
    json.flag("ok", true).field("name", name).flag("scannable", now.image.scannable);
    json.field("rawSize", now.image.raw_size).field("imageBytes", image::IMAGE_BYTES);
    json.list("notes", now.image.notes).list("findings", now.image.findings);
    json.open_list("rows");
    for (const image::CatalogueRow& row : now.catalogue)
        add_row(json, row);
    json.close_list();
    std::string status;
    if (now.image.scannable) {
        json.list("scan", inspect::scan_image(*now.image.source, path).lines);
        if (const auto reason = inspect::foreign_directory_reason(now.catalogue))
            status = name + " does not look like a +D/SAM directory: " + *reason;
    } else {
        json.list("scan", std::vector<std::string>{});
        status = name + " listed but not checked: " + std::to_string(now.image.raw_size) + " bytes, not the " +
                 std::to_string(image::IMAGE_BYTES) + " of a disc image";
    }
    json.field("status", status);
    listed = std::move(now);
    return json.close().text();
}

// The tape of the listed files in `slots` ("3,7,12"; empty: every listed file), with or without the loader
// rewrite, written to `tape_path`. Its bytes are left for output().
std::string make_tape(const std::string& slots, bool rewrite, const std::string& tape_path)
{
    last_output.clear();
    if (!listed)
        return status_only("No image is listed", false);
    std::set<int> wanted;
    for (std::size_t at = 0; at < slots.size();) {
        const std::size_t end = std::min(slots.find(',', at), slots.size());
        wanted.insert(std::stoi(slots.substr(at, end - at)));
        at = end + 1;
    }
    std::vector<tape::SelectedRow> rows;
    for (const image::CatalogueRow& row : listed->catalogue) {
        if (wanted.empty() || wanted.contains(row.slot))
            rows.push_back({row.name, row.slot});
    }
    const tape::ConversionResult result =
        tape::convert_files(*listed->image.source, listed->path, rows, rewrite, tape_path);
    std::vector<std::string> messages;
    for (const tape::ShortFile& file : result.short_files)
        messages.push_back(slot_message(file.slot, image::shortfall_text(file.chain)));
    for (const tape::DiscOnlyLoader& loader : result.disc_only_loaders)
        messages.push_back(trimmed(loader.name) + ": loader still uses +D-only syntax (" +
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
    const std::string name = trimmed(row->name);
    std::vector<inspect::Pixel> pixels;
    int width = inspect::SCREEN_WIDTH;
    int height = inspect::SCREEN_HEIGHT;
    std::string status;
    if (row->type_code == image::TYPE_SAM_SCREEN) {
        auto read = inspect::read_slot_sam_screen(*listed->image.source, slot);
        if (const auto* reason = std::get_if<std::string>(&read))
            return status_only(name + ": " + *reason, false);
        auto& sam = std::get<inspect::SlotSamScreen>(read);
        if (!sam.chain.complete())
            status = name + ": " + image::shortfall_text(sam.chain);
        width = sam.picture.width;
        height = sam.picture.height;
        pixels = std::move(sam.picture.pixels);
    } else {
        if (!image::is_screen(*row))
            return status_only(name + " is " + std::to_string(row->length) + " bytes long, not a 6912-byte screen",
                               false);
        const auto screen = inspect::read_slot_screen(*listed->image.source, slot);
        if (!screen)
            return status_only(name + " could not be read as a ZX screen", false);
        pixels.resize(inspect::SCREEN_PIXELS);
        inspect::decode_screen(inspect::zx_palette(), screen->bytes, pixels);
        if (screen->incomplete)
            status = name + ": " + image::shortfall_text(screen->chain);
    }
    last_output.reserve(pixels.size() * 4);
    for (const inspect::Pixel pixel : pixels) {
        last_output.push_back(static_cast<std::uint8_t>(pixel >> 16));
        last_output.push_back(static_cast<std::uint8_t>(pixel >> 8));
        last_output.push_back(static_cast<std::uint8_t>(pixel));
        last_output.push_back(OPAQUE);
    }
    Json json;
    json.open().flag("ok", true).field("width", width).field("height", height).field("status", status);
    return json.close().text();
}

// The BASIC program in `slot` listed, with the loader rewrite for a ZX program when `rewrite` is set; the
// statements the rewrite leaves +D-only are marked as the window marks them.
std::string list_basic(int slot, bool rewrite)
{
    const image::CatalogueRow* row = row_of(slot);
    if (row == nullptr)
        return status_only("No file in slot " + std::to_string(slot), false);
    const std::string name = trimmed(row->name);
    const bool sam = row->type_code == image::TYPE_SAM_BASIC;
    auto listed_slot = basic::list_slot(*listed->image.source, slot, rewrite && !sam);
    if (!listed_slot)
        return status_only(name + " could not be read as a " + (sam ? "SAM BASIC" : "ZX BASIC") + " program", false);
    std::vector<std::string>& lines = listed_slot->listing.lines;
    for (const tape::DiscOnlyStatement& found : listed_slot->disc_only) {
        std::string number = std::to_string(found.line);
        number.insert(0, number.size() < 5 ? 5 - number.size() : 0, ' ');
        for (std::string& line : lines) {
            if (line.starts_with(number)) {
                line +=
                    "   <- +D only, stops from tape: statement " + std::to_string(found.statement) + " " + found.what;
                break;
            }
        }
    }
    std::vector<std::string> messages;
    if (!listed_slot->chain.complete())
        messages.push_back(slot_message(slot, image::shortfall_text(listed_slot->chain)));
    if (listed_slot->listing.damage)
        messages.push_back(slot_message(slot, "damage at byte " + std::to_string(listed_slot->listing.damage->offset) +
                                                  ": " + listed_slot->listing.damage->reason));
    if (!listed_slot->disc_only.empty())
        messages.push_back(name + ": +D-only syntax stops it from tape at " + tape::describe(listed_slot->disc_only));
    Json json;
    json.open().flag("ok", true).field("title", name + " - " + (listed_slot->sam ? "SAM BASIC" : "ZX BASIC"));
    json.list("lines", lines).list("messages", messages);
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
    const auto read = snapshot::read_plusd_snapshot(*listed->image.source, slot);
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
    auto exported = image::export_file(*listed->image.source, slot);
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
    for (std::size_t at = 0; at < tape_paths.size();) {
        const std::size_t end = std::min(tape_paths.find('\n', at), tape_paths.size());
        tapes.push_back(files::load_tape_file(tape_paths.substr(at, end - at)));
        at = end + 1;
    }
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
    emscripten::function("output", &output);
    emscripten::function("version", &version);
}
