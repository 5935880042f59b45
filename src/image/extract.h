// Extraction of one ZX file from a disc along its sector chain, with the tape header that the tape writer puts in
// front of it. Only the five ZX types with a tape form yield data: 1 Basic, 2 number array, 3 character array,
// 4 code, 7 screen.
#pragma once

#include "image/directory.h"
#include "image/file_types.h"
#include "image/sector_source.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace image {

// A chain walk reads at most this many sectors, however large the sector count of a damaged entry.
inline constexpr int MAX_CHAIN_SECTORS = 1960;
inline constexpr std::size_t TAPE_HEADER_SIZE = 18; // flag byte + 17-byte ZX tape header

// Offsets within the tape header record.
namespace tape_header {
// A run of bytes within the record.
struct Field
{
    std::size_t at;
    std::size_t length;
};
inline constexpr std::size_t FLAG = 0;
inline constexpr std::size_t TYPE = 1;
inline constexpr Field NAME = {2, 10};
inline constexpr std::size_t LENGTH = 12;
inline constexpr std::size_t PARAM1 = 14;
inline constexpr std::size_t PARAM2 = 16;
} // namespace tape_header

using TapeHeader = std::array<std::uint8_t, TAPE_HEADER_SIZE>;

// How much of a file its sector chain delivered. A chain that ends early (or an entry whose sector count is too
// small for its length) leaves the rest of the file zero; zero_bytes counts those bytes.
struct ChainReport
{
    int sectors_read = 0;       // sectors of the chain read
    int sector_count = 0;       // the sector count of the directory entry
    std::size_t zero_bytes = 0; // bytes of the file's length that no sector delivered
    bool complete() const { return zero_bytes == 0; }
};

// What a report of missing data says: "the chain ends after 4 of 32 sectors; 19,526 bytes are zeros", or, when
// every counted sector was read, "its 4 sectors hold less than its length; 19,526 bytes are zeros".
std::string shortfall_text(const ChainReport& chain);

// An extracted file: the tape header record and the file's data, of the length the entry gives.
struct Extracted
{
    TapeHeader header{};
    std::vector<std::uint8_t> data;
    ChainReport chain;
};

// Fills the tape header record from a 256-byte directory entry.
void fill_tape_header(std::span<const std::uint8_t> entry, TapeHeader& header);

// Reads the chain of `entry` as one stream of `wanted` bytes: each sector lands over the link bytes of the one
// before, so the 510-byte pieces follow each other and the last sector's link bytes stay in it. Whatever the chain
// does not deliver stays zero. The walk ends on the sector count (at most MAX_CHAIN_SECTORS) or a zero link, or
// once the bytes wanted are final. `chain` receives what was read; its zero_bytes count the bytes after the first
// `skipped` (the nine-byte file header, which is not the file's data) that no sector's 510 data bytes delivered.
std::vector<std::uint8_t> read_chain_stream(image::SectorSource& disc, const image::DirectoryEntry& entry,
                                            std::size_t wanted, std::size_t skipped, ChainReport& chain);

// Extracts the file of a directory slot (0-79). std::nullopt when nothing can be extracted: a free slot, a type
// without a tape form, or length 0. Bytes the chain does not deliver (it ends early) are zero.
std::optional<Extracted> extract_file(image::SectorSource& disc, int slot);

} // namespace image
