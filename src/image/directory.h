// The disc directory: entries of 256 bytes, two per sector, in the first tracks of side 0, decoded into the
// catalogue that the main list and the command line show. A disc has four directory tracks (80 entries) unless
// MasterDOS gave it more: it keeps the number of extra tracks (0-35, so up to 39 tracks) in the last byte of the
// first entry, and leaves track 4 sector 1 (where the SAM boots from) out of the directory, so such a directory has
// 20 entries a track less two (98 for five tracks, 778 for 39). The first entry also tells a MasterDOS disc (its
// bytes 210-219 hold the disc's name, or '*' for none) and a BDOS disc ("BDOS" at 232-235, a name of 16 bytes at
// 210-219 and 250-255) from a +D, DISCiPLE or SAMDOS one. Entries are shown as read; judging damage is the
// integrity scan's work.
#pragma once

#include "image/file_types.h"
#include "image/geometry.h"
#include "image/sam_facts.h"
#include "image/sector_source.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace image {

inline constexpr int DIRECTORY_SLOTS = 80;
inline constexpr int DIRECTORY_TRACKS = 4;
inline constexpr int SLOTS_PER_TRACK = DIRECTORY_SLOTS / DIRECTORY_TRACKS;
inline constexpr int MAX_EXTRA_DIRECTORY_TRACKS = 35;
inline constexpr int MAX_DIRECTORY_TRACKS = DIRECTORY_TRACKS + MAX_EXTRA_DIRECTORY_TRACKS;
// MasterDOS keeps track 4 sector 1 out of a directory of more than four tracks: two entries fewer.
inline constexpr int BOOT_SECTOR_SLOTS = 2;
inline constexpr int MAX_DIRECTORY_SLOTS = MAX_DIRECTORY_TRACKS * SLOTS_PER_TRACK - BOOT_SECTOR_SLOTS;

// Offsets within a 256-byte directory entry.
namespace entry {
inline constexpr std::size_t SIZE = 256;
inline constexpr std::size_t STATUS = 0;
inline constexpr std::size_t NAME = 1;
inline constexpr std::size_t NAME_LEN = 10;
inline constexpr std::size_t SECTOR_COUNT = 11; // big-endian
inline constexpr std::size_t FIRST_TRACK = 13;
inline constexpr std::size_t FIRST_SECTOR = 14;
inline constexpr std::size_t SECTOR_MAP = 15; // one bit per data sector, in the order of image/sector_map.h
inline constexpr std::size_t SECTOR_MAP_LEN = 195;
inline constexpr std::size_t LENGTH_HIGH = 210; // 64K units of the file length; 0 for ZX files
inline constexpr std::size_t TAPE_TYPE = 211;
inline constexpr std::size_t FILE_HEADER = 211; // bytes 211-219 mirror the file's nine-byte disc header
inline constexpr std::size_t ZX_LENGTH = 212;
inline constexpr std::size_t ZX_START = 214;
inline constexpr std::size_t ZX_PROGRAM_LENGTH = 216;
inline constexpr std::size_t ZX_AUTOSTART = 218;
inline constexpr std::size_t SAM_START_PAGE = 236;
inline constexpr std::size_t SAM_CODE_OFFSET = 237; // the start's offset, of every SAM type
inline constexpr std::size_t SAM_PAGE_COUNT = 239;
inline constexpr std::size_t SAM_LENGTH = 240;
// A snapshot saved by the interface's button keeps registers in bytes 220-241: the pairs low byte first, from IY
// at 220 to SP at 240 (snapshot::PairLayout::PlusDEntry), and I here.
inline constexpr std::size_t SNAP_I = 239;
inline constexpr std::size_t EXTRA_DIRECTORY_TRACKS = 255; // in the first entry only; MasterDOS
// The disc's name and kind, in the first entry only: MasterDOS 210-219 ('*' for no name), BDOS its signature at
// 232-235 and a name at 210-219 and 250-255.
inline constexpr std::size_t DISC_NAME = 210;
inline constexpr std::size_t DISC_NAME_LEN = 10;
inline constexpr std::size_t BDOS_SIGNATURE = 232;
inline constexpr std::size_t BDOS_NAME_TAIL = 250;
inline constexpr std::size_t BDOS_NAME_TAIL_LEN = 6;
} // namespace entry

// A file's data sector: 510 data bytes, then the link to the next sector of the chain (a track byte and a sector
// number 1-10; track 0 ends the chain). The first data sector starts with the disc's own 9-byte file header.
namespace data_sector {
inline constexpr std::size_t DATA_BYTES = 510;
inline constexpr std::size_t LINK_TRACK = 510;
inline constexpr std::size_t LINK_SECTOR = 511;
} // namespace data_sector
inline constexpr std::size_t FILE_HEADER_SIZE = 9;

inline constexpr std::uint8_t TYPE_MASK = 0x3F;
// MasterDOS reads a SAM file's type from the low five bits (every use of the status byte masks it with 0x1F, as
// mgtdisklib does): bit 5 set on a SAM code (48-63) is no part of the type. ZX codes keep bit 5 (32-47 stay codes
// without a name), as nothing shows the +D ignoring it.
inline constexpr std::uint8_t SAM_TYPE_MASK = 0x1F;
inline constexpr int FIRST_SAM_CODE = 16;

// The type code of a status byte.
constexpr int type_code_of(std::uint8_t status)
{
    const int code = status & TYPE_MASK;
    return (code & SAM_TYPE_MASK) >= FIRST_SAM_CODE ? code & SAM_TYPE_MASK : code;
}
inline constexpr std::uint8_t HIDDEN_BIT = 0x80;
inline constexpr std::uint8_t PROTECTED_BIT = 0x40;
inline constexpr std::int64_t SAM_PAGE_BYTES = 16384;
inline constexpr std::uint16_t SAM_OFFSET_MASK = 0x3FFF;

// Where a slot's entry lies: directory track, sector index and byte offset within the sector.
struct SlotAddress
{
    std::uint8_t track_byte;
    int sector_index;
    std::size_t offset;
};
// Slots 0 to MAX_DIRECTORY_SLOTS - 1; from slot 80 on, past track 4 sector 1.
SlotAddress slot_address(int slot);

// The DOS that wrote a disc's directory, as far as its first entry tells.
enum class DosKind
{
    Standard,  // +D, DISCiPLE, SAMDOS: four directory tracks, no disc name
    MasterDos, // a disc name or '*' in bytes 210-219 of the first entry, maybe more directory tracks
    Bdos,      // "BDOS" at bytes 232-235 of the first entry
};

// "standard", "masterdos" or "bdos", as the JSON outputs give it; "MasterDOS" and "BDOS" for people ("" for
// Standard).
std::string_view dos_key(DosKind dos);
std::string_view dos_name(DosKind dos);

// How many directory tracks a disc has, and the DOS and disc name its first entry gives.
struct DirectorySize
{
    int tracks = DIRECTORY_TRACKS;
    // The count of extra tracks the first entry claims when it is more than MasterDOS allows; the directory is
    // then read as the standard four tracks, and the scan reports the claim.
    std::optional<int> rejected_extra;
    DosKind dos = DosKind::Standard;
    // The disc's name (each byte's low seven bits, trailing blanks cut); "" for none.
    std::string label;

    int slot_count() const { return tracks * SLOTS_PER_TRACK - (tracks > DIRECTORY_TRACKS ? BOOT_SECTOR_SLOTS : 0); }
};

// The directory size from the bytes of the first entry (slot 0). A disc is BDOS's when the entry holds "BDOS" at
// 232-235, else MasterDOS's when byte 210 is neither 0 nor 0xFF (as mgtdisklib tells them apart) and the entry is
// free or holds a SAM file or a code above them: a +D or DISCiPLE disc keeps a ZX file's own bytes there. Only a
// MasterDOS disc has extra directory tracks, so a SAMDOS file whose byte 255 happens to be set gives none.
DirectorySize decode_directory_size(std::span<const std::uint8_t> first_entry);

// The directory size of a disc, from its first entry.
DirectorySize read_directory_size(SectorSource& disc);

// The fields of a directory entry that the catalogue, extraction and scan read.
struct DirectoryEntry
{
    std::uint8_t status = 0;
    std::array<std::uint8_t, entry::NAME_LEN> raw_name{};
    std::uint16_t sector_count = 0;
    std::uint8_t first_track = 0;
    std::uint8_t first_sector = 0;
    std::uint16_t zx_length = 0;
    std::uint16_t zx_start = 0;
    std::uint8_t sam_start_page = 0;
    std::uint16_t sam_code_offset = 0;
    std::uint8_t sam_page_count = 0;
    std::uint16_t sam_length = 0;
    SamFacts sam; // SAM types only

    int type_code() const { return type_code_of(status); }
    bool is_used() const { return type_code() != 0; }
    // The name bytes up to the first zero byte; trailing blanks stay.
    std::string name() const;
};

using EntryBytes = std::array<std::uint8_t, entry::SIZE>;

// A name as the directory keeps it: the raw bytes cut to 10 and padded with spaces.
std::array<std::uint8_t, entry::NAME_LEN> stored_name(std::string_view raw);

// Reads the directory sector of a slot afresh and returns the slot's 256 entry bytes.
EntryBytes read_entry_bytes(SectorSource& disc, int slot);

// Decodes one entry from at least entry::SIZE bytes.
DirectoryEntry decode_directory_entry(std::span<const std::uint8_t> bytes);

// Writes the fields of `decoded` into `bytes` as decode_directory_entry reads them; the bytes no field holds (the
// sector map, the rest of the file header, a snapshot's registers, SAM's facts) stay as they are.
void encode_directory_entry(const DirectoryEntry& decoded, EntryBytes& bytes);

// Type name of a type code; "" for codes without a name (0, 14, 15, 21-63).
std::string_view type_name(int type_code);

// One listed file, in the order of the main list's columns, with its slot last.
struct CatalogueRow
{
    std::string name;
    std::int32_t start = 0;
    std::int64_t length = 0;
    bool hidden = false;         // its Attr cell shows H
    bool protected_file = false; // its Attr cell shows P
    std::string type_text;
    std::int32_t type_code = 0; // not a column: for the commands that act on a row
    std::int32_t start_sector = 0;
    std::int32_t start_track = 0;
    std::int32_t sectors = 0;
    std::int32_t slot = 0;
    SamFacts sam; // not a column: the facts of a SAM file's entry, for the JSON and the tooltips
};

inline constexpr int CATALOGUE_COLUMNS = 8;
// The texts of the eight list columns of a row.
std::array<std::string, CATALOGUE_COLUMNS> cell_texts(const CatalogueRow& row);

// The row of a used entry. SAM start pages are taken plus one, wrapping within the byte; every SAM type with a
// start keeps it as page and offset at 236-238 (SAM Basic: where the program starts).
CatalogueRow catalogue_row(const DirectoryEntry& entry, int slot);

using Catalogue = std::vector<CatalogueRow>;

// Reads the directory sectors (40 on a disc with four directory tracks) and returns a row for every used entry in
// directory order.
Catalogue read_directory(SectorSource& disc);

// Whether a listed file is shown as a screen: its length is that of a screen, whatever its type.
inline bool is_screen(const CatalogueRow& row)
{
    return row.length == SCREEN_LENGTH;
}

} // namespace image
