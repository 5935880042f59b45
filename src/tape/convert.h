// Conversion of selected files of a disc image into one new .tap file: for every row, in the order given, the
// file is extracted, a BASIC program optionally has its disc syntax blanked, and the ZX types with a tape form
// (program, arrays, bytes) are written as a header block and a data block. The result is the list of lines the
// message pane shows; nothing here asks questions or touches widgets.
#pragma once

#include "common/atomic_file.h"
#include "image/extract.h"
#include "image/sector_source.h"
#include "tape/basic_rewrite.h"

#include <span>
#include <string>
#include <vector>

namespace tape {

// A row of the main list to convert: its name as listed (used in the messages) and its directory slot.
struct SelectedRow
{
    std::string name;
    int slot = 0;
};

// A file that went on the tape with bytes its chain did not deliver (zeros).
struct ShortFile
{
    std::string name; // as listed
    int slot = 0;
    image::ChainReport chain;
};

// A rewritten loader that still holds +D syntax: from tape it stops with a syntax error at these statements.
struct DiscOnlyLoader
{
    std::string name;
    std::vector<DiscOnlyStatement> statements;
};

struct ConversionResult
{
    std::vector<std::string> lines;                // in the order they happened
    int failures = 0;                              // lines that report a file not converted or a tape not written
    int written = 0;                               // files on the tape; 0 when the tape could not be written
    std::string write_failure;                     // why the tape could not be written, in words; empty when it was
    std::vector<ShortFile> short_files;            // files on the tape whose chain ended early, in the order converted
    std::vector<DiscOnlyLoader> disc_only_loaders; // with the rewrite on: programs it could not make tape-only
};

// Converts the rows of `disc` in order into a new tape file that replaces `tape_path` once it is complete. A tape
// file that cannot be created, or that is the image file itself (`image_path`, or the archive it lies in), gives
// the single line "Cannot write " + tape_path and nothing else happens; a write error adds that line after the
// files' lines, and any earlier file at tape_path is kept. write_failure says why in either case.
ConversionResult convert_files(image::SectorSource& disc, const std::string& image_path,
                               std::span<const SelectedRow> rows, bool rewrite_basic, const std::string& tape_path);

// The same into a tape file already made (is_open()), which is committed at the end.
ConversionResult convert_files(image::SectorSource& disc, std::span<const SelectedRow> rows, bool rewrite_basic,
                               common::AtomicFile& tape);

// True when `path` names an existing regular file of at least one byte: one that a conversion would overwrite.
bool is_nonempty_file(const std::string& path);

} // namespace tape
