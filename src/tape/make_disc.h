// A new +D disc image from tapes: the files of one or more .tap or .tzx files, in tape order, each made a ZX file
// of the disc (BASIC, number array, character array, code, or a SCREEN$ for 6,912 bytes of code at 16384), after
// an optional +D system file copied from another disc so that the new one boots. The result is the image's bytes
// and the lines to show: one per file placed, and one per tape block skipped. Nothing here writes a file.
#pragma once

#include "image/disc_writer.h"
#include "image/sector_source.h"
#include "tape/tape_reader.h"

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tape {

// A tape file larger than this is refused unread: tapes of real software are far smaller.
inline constexpr std::size_t MAX_TAPE_BYTES = 64 * 1024 * 1024;

// A tape's bytes and the name its lines show it by (the path as given).
struct TapeInput
{
    std::string name;
    std::vector<std::uint8_t> bytes;
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
    std::vector<std::string> problems; // "TAPE: block #N: ..., skipped", one per block left out
};

// The disc file of a tape file: type, name and the nine-byte header (in the entry and in front of the data) from
// the tape header, the data behind it. The header must be of a ZX type 0-3.
image::DiscFile disc_file(const TapeFile& file);

// Reads a tape file whole; the error text when it cannot be read or is larger than MAX_TAPE_BYTES.
std::variant<TapeInput, std::string> read_tape_file(const std::string& path);

// The system file to copy from a disc: the file in `slot`, or else the first whose name starts with "+SYS" (in any
// case), its entry and the whole of its chain; `shown_name` names the disc in its line. The error text when there
// is no such file, or its chain ends before its sector count, leaves the data sectors or comes back to a sector.
std::variant<SystemFile, std::string> read_system_file(image::SectorSource& disc, std::optional<int> slot,
                                                       const std::string& shown_name);

// Builds the image from the tapes' files in `layout`. Fails, with the message and no image, when there is nothing
// to place, more than 80 files or more than 1,560 sectors' worth.
std::variant<MadeDisc, std::string> make_disc(std::span<const TapeInput> tapes, image::Layout layout,
                                              const std::optional<SystemFile>& system);

// The same from tape paths, for callers that hold nothing but the names: reads every tape, then builds. Fails with
// the first tape that cannot be read, or as make_disc does.
std::variant<MadeDisc, std::string> make_disc_from_paths(std::span<const std::string> tape_paths, image::Layout layout,
                                                         const std::optional<SystemFile>& system);

} // namespace tape
