// The commands on a listed disc's rows, as every front end offers them: which of them apply to a row, and what the
// screen, the BASIC listing and the tape of its files are, with the texts that say what went short or wrong.
#pragma once

#include "basic/slot_listing.h"
#include "inspect/screen.h"
#include "session/listed_disc.h"
#include "session/text.h"
#include "tape/convert.h"

#include <set>
#include <string>
#include <variant>
#include <vector>

namespace session {

// Which commands apply to a row.
struct RowCommands
{
    bool screen = false;      // a ZX screen by its length, or a SAM Screen file by its type
    bool tape = false;        // a type that has a tape form
    bool basic = false;       // a ZX or SAM BASIC program
    bool export_file = false; // a type whose data is exported as it stands
    bool snapshot = false;    // a +D snapshot (48K or 128K)
    bool edit = false;        // deleted, renamed, its flags set: any listed file
};
RowCommands row_commands(const image::CatalogueRow& row);

// The row of `slot` in the listed catalogue; nullptr for none.
const image::CatalogueRow* row_of(const ListedDisc& listed, int slot);

// "IMAGE: slot N: " + reason, as the command line words a file's messages, without the program's name.
Text slot_message(const ListedDisc& listed, int slot, const std::string& reason);

struct Screen
{
    std::vector<inspect::Pixel> pixels;
    int width = inspect::SCREEN_WIDTH;
    int height = inspect::SCREEN_HEIGHT;
    bool sam = false; // a SAM Screen at its mode's size
    Text shortfall;   // the file's chain ended early and the picture misses data; empty when it is whole
};

// The screen of `row`, or why it cannot be shown. A ZX screen is decoded through `table` when there is one (a
// program that shows many keeps it), else cell by cell in the ZX palette.
std::variant<Screen, Text> screen_of(const ListedDisc& listed, const image::CatalogueRow& row,
                                     const inspect::PixelTable* table);

struct BasicListing
{
    Text title;                     // "NAME - ZX BASIC"
    std::vector<std::string> lines; // the listing, a statement that stops from tape marked on its line
    std::vector<Text> messages;     // the file's chain ended early, the program's damage, its +D-only syntax
    Text disc_only;                 // "NAME: +D-only syntax stops it from tape at ..."; empty for none
};

// The BASIC program of `row` listed, a ZX one after the loader rewrite when `rewrite` is set, marking the
// statements the rewrite leaves +D-only; or why it cannot be listed.
std::variant<BasicListing, Text> basic_listing(const ListedDisc& listed, const image::CatalogueRow& row, bool rewrite);

struct Tape
{
    tape::ConversionResult result;
    std::vector<Text> pane; // the result's lines, the one naming the tape file as a path
};

// The listed files in `chosen` (every file for none), in the catalogue's order, written as a new tape at
// `tape_path`.
Tape make_tape(const ListedDisc& listed, const std::set<int>& chosen, bool rewrite, const std::string& tape_path);

} // namespace session
