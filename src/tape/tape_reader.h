// Reading the files of a ZX Spectrum tape: a .tap file (blocks of a 16-bit length and that many bytes) or a .tzx
// file (told by its "ZXTape!" signature), whose standard-speed blocks (ID 0x10) hold the same blocks as a .tap.
// A file is a header block (flag 0x00, the 17-byte ZX header) followed by its data block (flag 0xFF) of the length
// the header gives, both with a correct checksum. Everything else is skipped with a line that names the block by
// the number tzxlist gives it (counted from 0) and, where a header is known, the file: a data block without a
// header, a header without data, a bad checksum, a length that differs from the header's, turbo, pure-data and other
// data blocks a standard loader cannot read. Informational TZX blocks (texts, pauses, groups, loops) are passed
// over in silence. Nothing is guessed or repaired, and no block is read beyond the end of the input.
#pragma once

#include "tape/extract.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tape {

// A file as the tape holds it.
struct TapeFile
{
    TapeHeader header{};            // the header block's flag byte and 17-byte ZX header
    std::vector<std::uint8_t> data; // the data block without its flag and checksum bytes
    int header_block = 0;           // number of the header block, counted from 0 as tzxlist does
};

struct TapeContents
{
    std::vector<TapeFile> files;       // in tape order
    std::vector<std::string> problems; // "block #7: ...", one per skipped block, in tape order
};

// Whether the bytes start with the TZX signature "ZXTape!" and its end-of-file byte.
bool is_tzx(std::span<const std::uint8_t> bytes);

// Reads the files of a .tap or .tzx image held in `bytes`. Never fails: damage and unreadable blocks come back as
// problems, and a block cut off by the end of the input ends the reading with a problem of its own.
TapeContents read_tape(std::span<const std::uint8_t> bytes);

// The ten name bytes of a header as shown in messages: blanks at the end dropped, bytes outside printable ASCII
// shown as '?'.
std::string shown_name(const TapeHeader& header);

} // namespace tape
