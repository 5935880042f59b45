// A file of a disc as plain bytes for the host, for users who need a file's data outside the disc (SAM code in
// an assembler, a ZX screen in a paint program). ZX files with a tape form come out as extraction delivers them
// for the tape; SAM files as the data after their nine-byte disc header. Either way the length is the one the
// directory gives, and bytes the chain does not deliver (it ends early) are zero; a SAM file MasterBASIC saved
// packed is unpacked.
#pragma once

#include "image/extract.h"
#include "image/sector_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace image {

// Whether files of a directory type code can be exported: the ZX types with a tape form and the SAM types.
bool is_exportable(int type_code);

// An exported file: its bytes, empty for a file of length 0, and how much of them the chain delivered.
struct ExportedFile
{
    std::vector<std::uint8_t> bytes;
    image::ChainReport chain;
    // A file MasterBASIC saved packed comes out unpacked: the length of its data as stored, and whether the data
    // could not be unpacked (it is then given as stored).
    std::optional<std::size_t> packed_length;
    bool unpack_failed = false;
};

// The file in a directory slot (0-79); the reason in words when the slot holds no exportable file (a free slot, a
// snapshot, a subdirectory, an unnamed type).
std::variant<ExportedFile, std::string> export_file(image::SectorSource& disc, int slot);

} // namespace image
