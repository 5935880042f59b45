#include "image/directory.h"

#include "common/bytes.h"

#include <algorithm>
#include <cassert>
#include <string_view>

namespace image {
namespace {

constexpr std::uint8_t SAM_PAGE_MASK = 0x1F;
constexpr std::string_view BDOS_MARK = "BDOS";
constexpr std::uint8_t NO_NAME_BYTE = 0xFF; // with 0, what a SAMDOS entry holds at 210
constexpr char NO_DISC_NAME = '*';          // MasterDOS's name of a disc without one
constexpr char SEVEN_BITS = 0x7F;

std::int64_t sam_length(std::int64_t page_count, std::uint16_t last_page_length)
{
    return page_count * SAM_PAGE_BYTES + (last_page_length & SAM_OFFSET_MASK);
}

// The stored start page has already been increased by one (wrapping within the byte).
std::int32_t sam_start(std::uint8_t start_page, std::uint16_t offset)
{
    return static_cast<std::int32_t>((start_page & SAM_PAGE_MASK) * SAM_PAGE_BYTES + (offset & SAM_OFFSET_MASK));
}

} // namespace

SlotAddress slot_address(int slot)
{
    assert(slot >= 0 && slot < MAX_DIRECTORY_SLOTS);
    const int sector_number = (slot < DIRECTORY_SLOTS ? slot : slot + BOOT_SECTOR_SLOTS) / 2;
    return {static_cast<std::uint8_t>(sector_number / SECTORS_PER_TRACK), sector_number % SECTORS_PER_TRACK,
            static_cast<std::size_t>(slot % 2) * entry::SIZE};
}

EntryBytes read_entry_bytes(SectorSource& disc, int slot)
{
    const SlotAddress at = slot_address(slot);
    std::array<std::uint8_t, SECTOR_SIZE> scratch{};
    const SectorView sector = disc.view_sector(at.track_byte, at.sector_index, scratch);
    EntryBytes bytes;
    std::copy_n(sector.begin() + static_cast<std::ptrdiff_t>(at.offset), entry::SIZE, bytes.begin());
    return bytes;
}

namespace {

// The DOS's key in machine-read output, and its name in the listing ("" for the +D's own).
struct DosWords
{
    std::string_view key;
    std::string_view name;
};

DosWords dos_words(DosKind dos)
{
    switch (dos) {
    case DosKind::MasterDos:
        return {"masterdos", "MasterDOS"};
    case DosKind::Bdos:
        return {"bdos", "BDOS"};
    case DosKind::Standard:
        break;
    }
    return {"standard", ""};
}

} // namespace

std::string_view dos_key(DosKind dos)
{
    return dos_words(dos).key;
}

std::string_view dos_name(DosKind dos)
{
    return dos_words(dos).name;
}

DirectorySize decode_directory_size(std::span<const std::uint8_t> first_entry)
{
    assert(first_entry.size() >= entry::SIZE);
    DirectorySize size;
    std::string raw_label;
    const auto bytes_at = [&](std::size_t at, std::size_t count) {
        return std::string(first_entry.begin() + static_cast<std::ptrdiff_t>(at),
                           first_entry.begin() + static_cast<std::ptrdiff_t>(at + count));
    };
    const std::uint8_t name_lead = first_entry[entry::DISC_NAME];
    const int code = type_code_of(first_entry[entry::STATUS]);
    if (bytes_at(entry::BDOS_SIGNATURE, BDOS_MARK.size()) == BDOS_MARK) {
        size.dos = DosKind::Bdos;
        if (name_lead != 0)
            raw_label = bytes_at(entry::DISC_NAME, entry::DISC_NAME_LEN) +
                        bytes_at(entry::BDOS_NAME_TAIL, entry::BDOS_NAME_TAIL_LEN);
    } else if (name_lead != 0 && name_lead != NO_NAME_BYTE &&
               (code == 0 || (code >= TYPE_SAM_BASIC && code <= SAM_TYPE_MASK))) {
        size.dos = DosKind::MasterDos;
        if (name_lead != NO_DISC_NAME)
            raw_label = bytes_at(entry::DISC_NAME, entry::DISC_NAME_LEN);
        const int extra = first_entry[entry::EXTRA_DIRECTORY_TRACKS];
        if (extra > MAX_EXTRA_DIRECTORY_TRACKS)
            size.rejected_extra = extra;
        else
            size.tracks += extra;
    }
    for (const char c : raw_label)
        size.label += static_cast<char>(c & SEVEN_BITS);
    size.label.erase(size.label.find_last_not_of(' ') + 1);
    return size;
}

DirectorySize read_directory_size(SectorSource& disc)
{
    return decode_directory_size(read_entry_bytes(disc, 0));
}

std::string DirectoryEntry::name() const
{
    const auto end = std::find(raw_name.begin(), raw_name.end(), std::uint8_t{0});
    return std::string(raw_name.begin(), end);
}

std::array<std::uint8_t, entry::NAME_LEN> stored_name(std::string_view raw)
{
    std::array<std::uint8_t, entry::NAME_LEN> name{};
    name.fill(' ');
    std::copy_n(raw.begin(), std::min(raw.size(), entry::NAME_LEN), name.begin());
    return name;
}

DirectoryEntry decode_directory_entry(std::span<const std::uint8_t> bytes)
{
    assert(bytes.size() >= entry::SIZE);
    DirectoryEntry e;
    e.status = bytes[entry::STATUS];
    std::copy_n(bytes.begin() + entry::NAME, entry::NAME_LEN, e.raw_name.begin());
    e.sector_count = common::get_be16(bytes, entry::SECTOR_COUNT);
    e.first_track = bytes[entry::FIRST_TRACK];
    e.first_sector = bytes[entry::FIRST_SECTOR];
    e.zx_length = common::get_le16(bytes, entry::ZX_LENGTH);
    e.zx_start = common::get_le16(bytes, entry::ZX_START);
    e.sam_start_page = bytes[entry::SAM_START_PAGE];
    e.sam_code_offset = common::get_le16(bytes, entry::SAM_CODE_OFFSET);
    e.sam_page_count = bytes[entry::SAM_PAGE_COUNT];
    e.sam_length = common::get_le16(bytes, entry::SAM_LENGTH);
    if (file_type(e.type_code()).sam_system)
        e.sam = decode_sam_facts(bytes, e.type_code());
    return e;
}

void encode_directory_entry(const DirectoryEntry& e, EntryBytes& bytes)
{
    bytes[entry::STATUS] = e.status;
    std::copy(e.raw_name.begin(), e.raw_name.end(), bytes.begin() + entry::NAME);
    common::put_be16(bytes, entry::SECTOR_COUNT, e.sector_count);
    bytes[entry::FIRST_TRACK] = e.first_track;
    bytes[entry::FIRST_SECTOR] = e.first_sector;
    common::put_le16(bytes, entry::ZX_LENGTH, e.zx_length);
    common::put_le16(bytes, entry::ZX_START, e.zx_start);
    bytes[entry::SAM_START_PAGE] = e.sam_start_page;
    common::put_le16(bytes, entry::SAM_CODE_OFFSET, e.sam_code_offset);
    bytes[entry::SAM_PAGE_COUNT] = e.sam_page_count;
    common::put_le16(bytes, entry::SAM_LENGTH, e.sam_length);
}

std::string_view type_name(int type_code)
{
    return file_type(type_code).name;
}

CatalogueRow catalogue_row(const DirectoryEntry& e, int slot)
{
    CatalogueRow row;
    const int code = e.type_code();
    const FileType& type = file_type(code);
    row.name = e.name();
    if (type.zx) {
        row.start = e.zx_start;
        row.length = e.zx_length;
    } else if (type.sam) {
        const auto page = static_cast<std::uint8_t>(e.sam_start_page + 1);
        // Every SAM type keeps its length and start in the SAM fields. The copy of the file header at 211-219 is
        // not always there: MasterDOS keeps the disc name at 210-219 of the first entry (seen as '*' and blanks, a
        // length of 8224 when read as a header), and SAMDOS leaves it zero.
        row.length = sam_length(e.sam_page_count, e.sam_length);
        row.start = sam_start(page, e.sam_code_offset);
    }
    row.sam = e.sam;
    // UniDos entries (12, 13) and codes without a name list with start and length 0.
    row.hidden = (e.status & HIDDEN_BIT) != 0;
    row.protected_file = (e.status & PROTECTED_BIT) != 0;
    row.type_text = std::string(type_name(code)) + " (" + std::to_string(code) + ")";
    row.type_code = code;
    row.start_sector = e.first_sector;
    row.start_track = e.first_track;
    row.sectors = e.sector_count;
    row.slot = slot;
    return row;
}

std::array<std::string, CATALOGUE_COLUMNS> cell_texts(const CatalogueRow& row)
{
    std::string attributes;
    if (row.hidden)
        attributes += 'H';
    if (row.protected_file)
        attributes += 'P';
    return {
        row.name,      std::to_string(row.start),        std::to_string(row.length),      attributes,
        row.type_text, std::to_string(row.start_sector), std::to_string(row.start_track), std::to_string(row.sectors)};
}

Catalogue read_directory(SectorSource& disc)
{
    Catalogue rows;
    std::array<std::uint8_t, SECTOR_SIZE> scratch{};
    // The first sector holds the first entry, which gives the directory's size.
    int slots = DIRECTORY_SLOTS;
    for (int slot = 0; slot < slots; slot += 2) {
        const SlotAddress at = slot_address(slot);
        const SectorView sector = disc.view_sector(at.track_byte, at.sector_index, scratch);
        if (slot == 0)
            slots = decode_directory_size(sector).slot_count();
        for (int half = 0; half < 2; ++half) {
            const auto bytes = std::span<const std::uint8_t>(sector).subspan(
                static_cast<std::size_t>(half) * entry::SIZE, entry::SIZE);
            const DirectoryEntry e = decode_directory_entry(bytes);
            if (e.is_used())
                rows.push_back(catalogue_row(e, slot + half));
        }
    }
    return rows;
}

} // namespace image
