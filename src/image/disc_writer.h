// Building a new, formatted +D disc image in memory. The directory (80 entries in tracks 0-3 of side 0) holds the
// files given, in slots 0, 1, 2, ... in that order, and is empty after them. Each file lies on a chain of whole
// sectors: 510 bytes of the file, then the link to the next sector (track byte, sector number 1-10), the last
// link 0, 0. Sectors are handed out as the +D does on an empty disc: the lowest free one in its sector order
// (image/sector_map.h). The writer sets an entry's
// sector count (big-endian), first track and sector and sector map; every other entry byte is the caller's.
// Sectors no file uses are zero, as on an emulator's freshly formatted disc.
#pragma once

#include "image/directory.h"
#include "image/geometry.h"
#include "image/sector_map.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace image {

// A file to write: its entry (status, name and the bytes from 210 on as they should stand; the writer fills in
// bytes 11-209) and the bytes its chain holds (a ZX file: the nine-byte disc header, then the data).
struct DiscFile
{
    EntryBytes entry{};
    std::vector<std::uint8_t> body;
};

// Where a file went.
struct PlacedFile
{
    int slot = 0;
    int sectors = 0;
    std::uint8_t first_track = 0;
    std::uint8_t first_sector = 0; // 1-10
};

struct WrittenDisc
{
    std::vector<std::uint8_t> bytes; // 819,200 bytes in the layout asked for
    std::vector<PlacedFile> placed;  // one per file, in the order given
};

// Why `files` files needing `sectors` sectors in all cannot go on one disc ("81 files, a disc holds 80; nothing
// written"); std::nullopt when they fit.
std::optional<std::string> beyond_one_disc(std::size_t files, std::size_t sectors);

// Lays the files out on a new disc in `layout` (Interleaved or Sequential). Fails, with a message and nothing
// built, when there are more than 80 files or they need more than 1,560 sectors together.
std::variant<WrittenDisc, std::string> build_disc(std::span<const DiscFile> files, Layout layout);

} // namespace image
