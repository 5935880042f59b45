#include "session/row_commands.h"

#include "common/number_text.h"
#include "common/path_text.h"
#include "image/file_export.h"
#include "image/file_types.h"
#include "inspect/slot_screen.h"
#include "snapshot/plusd_snapshot.h"

namespace session {
namespace {

constexpr const char* DISC_ONLY_MARK = "   <- +D only, stops from tape: statement ";

// Each statement that still stops with a syntax error from tape is marked on the first line of its number.
void mark_disc_only(basic::SlotListing& listed)
{
    std::vector<std::string>& lines = listed.listing.lines;
    const std::vector<std::uint16_t>& numbers = listed.listing.numbers;
    for (const tape::DiscOnlyStatement& found : listed.disc_only) {
        for (std::size_t i = 0; i < numbers.size() && i < lines.size(); ++i) {
            if (numbers[i] == found.line) {
                lines[i] += DISC_ONLY_MARK + std::to_string(found.statement) + " " + found.what;
                break;
            }
        }
    }
}

} // namespace

RowCommands row_commands(const image::CatalogueRow& row)
{
    RowCommands commands;
    commands.screen = image::is_screen(row) || row.type_code == image::TYPE_SAM_SCREEN;
    commands.tape = image::has_tape_form(row.type_code);
    commands.basic = row.type_code == image::TYPE_ZX_BASIC || row.type_code == image::TYPE_SAM_BASIC;
    commands.export_file = image::is_exportable(row.type_code);
    commands.snapshot = snapshot::is_plusd_snapshot_type(row.type_code);
    commands.edit = true;
    return commands;
}

const image::CatalogueRow* row_of(const ListedDisc& listed, int slot)
{
    for (const image::CatalogueRow& row : listed.catalogue) {
        if (row.slot == slot)
            return &row;
    }
    return nullptr;
}

Text slot_message(const ListedDisc& listed, int slot, const std::string& reason)
{
    return Text(common::file_part(listed.path) + ": slot " + std::to_string(slot) + ": " + reason);
}

std::variant<Screen, Text> screen_of(const ListedDisc& listed, const image::CatalogueRow& row,
                                     const inspect::PixelTable* table)
{
    Screen screen;
    if (row.type_code == image::TYPE_SAM_SCREEN) {
        // A SAM screen at its mode's own size.
        auto read = inspect::read_slot_sam_screen(*listed.image.source, row.slot);
        if (const auto* reason = std::get_if<std::string>(&read))
            return Text(Encoding::Name, row.name).path(": " + *reason);
        auto& sam = std::get<inspect::SlotSamScreen>(read);
        if (!sam.chain.complete())
            screen.shortfall = Text(Encoding::Name, row.name).path(": " + image::shortfall_text(sam.chain));
        screen.sam = true;
        screen.width = sam.picture.width;
        screen.height = sam.picture.height;
        screen.pixels = std::move(sam.picture.pixels);
        return screen;
    }
    if (!image::is_screen(row))
        return Text(Encoding::Name, row.name)
            .path(" is " + common::grouped(static_cast<std::uint64_t>(row.length)) +
                  " bytes long, not a 6,912-byte screen");
    const auto read = inspect::read_slot_screen(*listed.image.source, row.slot);
    if (!read)
        return Text(Encoding::Name, row.name).path(" could not be read as a ZX screen");
    screen.pixels.resize(inspect::SCREEN_PIXELS);
    if (table != nullptr)
        inspect::decode_screen(*table, read->bytes, screen.pixels);
    else
        inspect::decode_screen(inspect::zx_palette(), read->bytes, screen.pixels);
    if (read->incomplete)
        screen.shortfall = Text(Encoding::Name, row.name).path(": " + image::shortfall_text(read->chain));
    return screen;
}

std::variant<BasicListing, Text> basic_listing(const ListedDisc& listed, const image::CatalogueRow& row, bool rewrite)
{
    const bool sam = row.type_code == image::TYPE_SAM_BASIC;
    // A SAM program has no loader to rewrite.
    auto read = basic::list_slot(*listed.image.source, row.slot, rewrite && !sam);
    if (!read)
        return Text(Encoding::Name, row.name)
            .path(std::string(" could not be read as a ") + (sam ? "SAM BASIC" : "ZX BASIC") + " program");
    mark_disc_only(*read);
    BasicListing listing;
    listing.title = Text(Encoding::Name, row.name).path(read->sam ? " - SAM BASIC" : " - ZX BASIC");
    listing.lines = std::move(read->listing.lines);
    if (!read->chain.complete())
        listing.messages.push_back(slot_message(listed, row.slot, image::shortfall_text(read->chain)));
    if (const auto& damage = read->listing.damage)
        listing.messages.push_back(
            slot_message(listed, row.slot, "damage at byte " + std::to_string(damage->offset) + ": " + damage->reason));
    if (!read->disc_only.empty()) {
        listing.disc_only = Text(Encoding::Name, row.name)
                                .path(": +D-only syntax stops it from tape at " + tape::describe(read->disc_only));
        listing.messages.push_back(listing.disc_only);
    }
    return listing;
}

Tape make_tape(const ListedDisc& listed, const std::set<int>& chosen, bool rewrite, const std::string& tape_path)
{
    std::vector<tape::SelectedRow> rows;
    for (const image::CatalogueRow& row : listed.catalogue) {
        if (chosen.empty() || chosen.contains(row.slot))
            rows.push_back({row.name, row.slot});
    }
    Tape tape{tape::convert_files(*listed.image.source, listed.path, rows, rewrite, tape_path), {}};
    // A tape that could not be written ends the lines with the one that names it.
    for (std::size_t i = 0; i < tape.result.lines.size(); ++i) {
        const bool names_tape = !tape.result.write_failure.empty() && i + 1 == tape.result.lines.size();
        tape.pane.emplace_back(names_tape ? Encoding::Path : Encoding::Shown, tape.result.lines[i]);
    }
    return tape;
}

} // namespace session
