// Changing a disc's files: add, remove, rename and set the hidden and protected flags. An edit is a pure function
// from one disc value to the next: the image is read whole into memory, the operation builds a new value, the new
// value is verified against the old one (it scans without new findings, the entries and data of the files left
// alone are byte-identical, the sector maps of the used entries agree with the sectors they hold), and only then
// may the caller write it (disc_save.h). A failure at any step leaves the image as it was and says why.
#pragma once

#include "image/disc_writer.h"
#include "image/geometry.h"
#include "image/sector_source.h"
#include "inspect/scan.h"

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace files {

// A whole disc as a value: its 819,200 bytes in `layout` (Interleaved for .mgt/.dsk, Sequential for .img).
struct DiscValue
{
    std::vector<std::uint8_t> bytes;
    image::Layout layout = image::Layout::Interleaved;

    bool operator==(const DiscValue&) const = default;
};

// The disc a source holds, read whole into `layout`; refused, naming the first ones, when sectors are missing or
// unreadable (an edit never writes zeros over what it could not read).
std::variant<DiscValue, std::string> read_disc_value(image::SectorSource& disc, image::Layout layout);

// An edit done: the new disc, the lines that say what was done (one per file: "slot 3: added MANIC (BASIC, 6,912
// bytes)"), and the slots it changed, in order (for the window to select).
struct Edited
{
    DiscValue disc;
    std::vector<std::string> lines;
    std::vector<int> changed_slots;
};

// Either the edit done, or why nothing was done ("needs 12 more free sectors: 150 needed, 138 free").
using EditOutcome = std::variant<Edited, std::string>;

// A file ready to go onto a disc, and the words that name where it came from ("GAME.tap", "SHOT.z80").
struct NewFile
{
    image::DiscFile file;
    std::string origin;
};

// How to make a disc file of a file that is neither a tape nor a snapshot.
struct AddOptions
{
    std::optional<std::string> name;    // raw bytes; the file's own name (cut to 10 bytes, padded) when not given
    std::optional<std::uint32_t> start; // ZX: 0-65535, default 32768; SAM: 19-bit address, default 32768
    std::optional<std::uint32_t> exec;  // SAM only: the address the code is called at, none by default
    bool sam = false;                   // SAM Code (type 19) rather than ZX Code (type 4); SAM BASIC for .bas
    std::optional<std::uint16_t> line;  // BASIC text (.bas): the auto-run line
};

// The start addresses at which code of `length` bytes fits: ZX Code from 0 to where its last byte is 65535, SAM
// Code from 16384 (below it the ROM) to where its last byte is the last of 512 KiB. Nothing when the code fits at
// no address (longer than 65,535 bytes for ZX, than 507,904 bytes for SAM).
struct AddressRange
{
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};
std::optional<AddressRange> code_start_range(bool sam, std::uint64_t length);
// The longest code file of the kind, in bytes.
std::uint64_t longest_code(bool sam);

// The disc files a host file gives: every standard file of a .tap/.tzx (as `make` reads them, with the lines of
// what was skipped in `notes`), a +D snapshot of a .z80/.sna (refused, with the reason, when the +D could not have
// saved that machine state), a ZX or (with `sam`) SAM BASIC program of BASIC text (.bas, refused with the line
// and reason when it is not a program), or one code file of anything else. `options.name` names a single file; it is
// refused for a tape of several.
// Files a tape held beyond what one disc takes: read, counted and not kept, but counted again when the room on a
// disc is worked out.
struct Overflow
{
    std::size_t files = 0;
    std::size_t sectors = 0;
};
struct FilesToAdd
{
    std::vector<NewFile> files;
    std::vector<std::string> notes;
    Overflow overflow;
};
std::variant<FilesToAdd, std::string> files_from_path(const std::string& path, const AddOptions& options);
// The same from the file's bytes, read already; `path` names it (its extension says what it is).
std::variant<FilesToAdd, std::string> files_from_bytes(const std::string& path, std::span<const std::uint8_t> bytes,
                                                       const AddOptions& options);

// What the check of an edit learns of the disc before it: what the integrity scan finds there, and the data
// sectors each used entry of its directory holds (its map and its chain). A caller that makes
// several edits of one disc works it out once and passes it to each operation (and to verify_edit), which then
// scans the edited disc only and walks only the entries it changed; it must be that of the very disc edited.
struct HeldBySlot
{
    int slot = 0;
    image::SectorMap sectors;
};
struct DiscScan
{
    std::vector<inspect::ScanFinding> findings;
    std::vector<HeldBySlot> held; // the used slots, lowest first
};
DiscScan scan_disc(const DiscValue& disc);

// The operations. Slots are 0-based, as the list shows them. Names are raw bytes, cut to 10 and padded with spaces;
// a name already on the disc (compared as the DOS compares) is refused, and so is a name of spaces only. A
// protected file is neither removed nor renamed unless `force`. add_files refuses, saying how much is missing,
// when the files and `overflow` need more slots or sectors than the disc has free. `scanned`, when given, is
// scan_disc(disc), for the work out of the free sectors and the check of the result (verify_edit).
EditOutcome add_files(const DiscValue& disc, std::span<const NewFile> files, Overflow overflow = {},
                      const DiscScan* scanned = nullptr);
EditOutcome remove_files(const DiscValue& disc, std::span<const int> slots, bool wipe_data, bool force = false,
                         const DiscScan* scanned = nullptr);
EditOutcome rename_file(const DiscValue& disc, int slot, std::string_view new_name, bool force = false,
                        const DiscScan* scanned = nullptr);

enum class FlagChange
{
    Keep,
    Set,
    Clear,
};
EditOutcome set_flags(const DiscValue& disc, int slot, FlagChange hidden, FlagChange protect,
                      const DiscScan* scanned = nullptr);

// Why `after` is not a sound edit of `before` that changed only `changed_slots` (new findings of the scan, a file
// left alone whose entry or data differ, a map that disagrees with the chains); std::nullopt when it is sound.
// Every operation above runs it on its result before returning it. `before_scan` is scan_disc(before), or null to
// have it scanned here.
std::optional<std::string> verify_edit(const DiscValue& before, const DiscValue& after,
                                       std::span<const int> changed_slots, const DiscScan* before_scan = nullptr);

} // namespace files
