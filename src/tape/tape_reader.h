// Reading the files of a ZX Spectrum tape: a .tap file (blocks of a 16-bit length and that many bytes) or a .tzx
// file (told by its "ZXTape!" signature), whose standard-speed blocks (ID 0x10) hold the same blocks as a .tap.
// A file is a header block (flag 0x00, the 17-byte ZX header) followed by its data block (flag 0xFF) of the length
// the header gives, both with a correct checksum. Everything else is skipped with a line that names the block by
// the number tzxlist gives it (counted from 0) and, where a header is known, the file: a data block without a
// header, a header without data, a bad checksum, a length that differs from the header's, turbo, pure-data and other
// data blocks a standard loader cannot read. Informational TZX blocks (texts, pauses, groups, loops) are passed
// over in silence. Nothing is guessed or repaired, and no block is read beyond the end of the input.
//
// What is kept is bounded by what can reach a disc, whatever the input: files up to 80 and 1,560 sectors (the
// files after those are counted, not kept), and a line for the first few skipped blocks (the others are counted by
// reason).
#pragma once

#include "image/extract.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tape {

// Skipped blocks get a line each up to this many; the rest are only counted.
inline constexpr std::size_t MAX_LISTED_BLOCKS = 5;

// A file as the tape holds it.
struct TapeFile
{
    image::TapeHeader header{};     // the header block's flag byte and 17-byte ZX header
    std::vector<std::uint8_t> data; // the data block without its flag and checksum bytes
    int header_block = 0;           // number of the header block, counted from 0 as tzxlist does
};

// Why a block was skipped.
enum class SkipReason
{
    TooShort,
    NeitherHeaderNorData,
    NoHeader,
    NoData,
    HeaderChecksum,
    UnknownType,
    HeaderSkipped,
    DataChecksum,
    WrongLength,
    Unreadable,
    UnknownTzxBlock,
    CutOff,
};
inline constexpr std::size_t SKIP_REASONS = static_cast<std::size_t>(SkipReason::CutOff) + 1;

struct TapeContents
{
    std::vector<TapeFile> files;                     // in tape order, as many as one disc can hold
    std::size_t files_beyond = 0;                    // files after those: read, counted and dropped
    std::size_t sectors_beyond = 0;                  // the disc sectors those would take
    std::vector<std::string> problems;               // "block #7: ...", for the first MAX_LISTED_BLOCKS skipped blocks
    std::array<std::size_t, SKIP_REASONS> skipped{}; // every skipped block, by reason
    std::array<std::size_t, SKIP_REASONS> listed{};  // those of them with a line in `problems`

    std::size_t skipped_blocks() const;
    // One line per reason for the skipped blocks after the listed ones: "... and 371,000 more data blocks without
    // a header".
    std::vector<std::string> unlisted_lines() const;
};

// Skipped blocks by reason as words: "2 headers without their data block, 1 data block with a bad checksum"; ""
// when there are none.
std::string skipped_summary(const std::array<std::size_t, SKIP_REASONS>& skipped);

// Whether the bytes start with the TZX signature "ZXTape!" and its end-of-file byte.
bool is_tzx(std::span<const std::uint8_t> bytes);

// std::nullopt when the bytes are a tape: a TZX signature, or a first .tap block that could be one (at least its
// flag and checksum bytes, within the input, a header or data flag or a correct checksum). Otherwise why not:
// "not a tape file (a DSK image)", "not a tape file (empty)".
std::optional<std::string> not_a_tape(std::span<const std::uint8_t> bytes);

// Reads the files of a .tap or .tzx image held in `bytes`. Never fails: damage and unreadable blocks come back as
// problems, and a block cut off by the end of the input ends the reading with a problem of its own.
TapeContents read_tape(std::span<const std::uint8_t> bytes);

// The ten name bytes of a header as shown in messages: blanks at the end dropped, bytes outside printable ASCII
// shown as '?'.
std::string shown_name(const image::TapeHeader& header);

// A count with a comma between thousands: "371,000".
std::string counted(std::size_t n);

} // namespace tape
