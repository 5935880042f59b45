// A new +D disc image from tapes: the files of one or more .tap or .tzx files, in tape order, each made a ZX file
// of the disc (BASIC, number array, character array, code, or a SCREEN$ for 6,912 bytes of code at 16384), after
// an optional +D system file copied from another disc so that the new one boots. The result is the image's bytes
// and the lines to show: one per file placed, and for each tape why it was refused, or its first skipped blocks and
// a count by reason of the others. A tape is checked to be one before it is read, and what is kept of it is
// bounded by what one disc holds, so a large file of junk costs no more than its bytes. Nothing here writes a file.
#pragma once

#include "image/disc_writer.h"
#include "image/sector_source.h"
#include "tape/tape_reader.h"

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace files {

// A tape file larger than this is refused unread: tapes of real software are far smaller.
inline constexpr std::size_t MAX_TAPE_BYTES = 64 * 1024 * 1024;

// A tape as read for a new disc: the files and skipped blocks it gave, or why it was not read at all.
struct LoadedTape
{
    std::string name; // what its lines show it by: the path as given
    tape::TapeContents contents;
    std::string refusal; // not empty: the tape was not read ("not a tape file (a DSK image)")
};

// A file copied whole from another disc, with words on where it came from ("boot.mgt slot 0").
struct SystemFile
{
    image::DiscFile file;
    std::string origin;
};

struct MadeDisc
{
    std::vector<std::uint8_t> bytes;   // the 819,200-byte image
    std::vector<std::string> placed;   // one line per file, in slot order
    std::vector<std::string> problems; // the tapes' lines, as tape_lines gives them
    std::size_t skipped_blocks = 0;    // all tape blocks left out, with a line or tape::counted
    std::size_t refused_tapes = 0;     // tapes not read at all
};

// The disc file of a tape file: type, name and the nine-byte header (in the entry and in front of the data) from
// the tape header, the data behind it. The header must be of a ZX type 0-3.
image::DiscFile disc_file(const tape::TapeFile& file);

// The tape held in `bytes`, shown as `name`: read when it is a tape, refused when not.
LoadedTape load_tape(std::string name, std::span<const std::uint8_t> bytes);

// The same from a file, read whole and let go once read; refused when it cannot be read, is larger than
// MAX_TAPE_BYTES or is no tape.
LoadedTape load_tape_file(const std::string& path);

// The lines that tell what the tapes lost, each starting "TAPE: ": a refused tape's reason; a read tape's first
// skipped blocks ("block #7: ..., skipped"), then one line per reason for the rest ("... and 371,000 more data
// blocks without a header").
std::vector<std::string> tape_lines(std::span<const LoadedTape> tapes);

// The system file to copy from a disc: the file in `slot`, or else the first whose name starts with "+SYS" (in any
// case), its entry and the whole of its chain; `shown_name` names the disc in its line. The error text when there
// is no such file, or its chain ends before its sector count, leaves the data sectors or comes back to a sector.
std::variant<SystemFile, std::string> read_system_file(image::SectorSource& disc, std::optional<int> slot,
                                                       const std::string& shown_name);

// Builds the image from the files of the tapes that were read, in `layout`. Fails, with the message and no image,
// when there is nothing to place (the message says what the tapes gave instead), more than 80 files or more than
// 1,560 sectors' worth (counting the files a tape read but did not keep).
std::variant<MadeDisc, std::string> make_disc(std::span<const LoadedTape> tapes, image::Layout layout,
                                              const std::optional<SystemFile>& system);

// The same from tape paths, for callers that hold nothing but the names: reads every tape, then builds. A tape
// that cannot be read or is no tape is left out with its line; fails as make_disc does.
std::variant<MadeDisc, std::string> make_disc_from_paths(std::span<const std::string> tape_paths, image::Layout layout,
                                                         const std::optional<SystemFile>& system);

} // namespace files
