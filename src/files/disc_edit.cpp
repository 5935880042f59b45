// The edit operations on a disc value and the check every result passes before anyone may write it.
//
// Allocation follows image::build_disc, so that files added to a disc made by `make` land exactly where `make`
// would have put them: the first free directory slot, and each sector the lowest free one in the +D's sector
// order (the order of the sector map's bits). A free sector is one that no used entry's map names and no used
// entry's chain reaches: real discs carry maps that disagree with their chains, and neither may be overwritten.
// Erasing frees the entry as the DOS's ERASE does (status byte 0, the name left in place) and clears its sector
// map, so the disc's map (the union of the entries' maps) no longer holds its sectors.
#include "files/disc_edit.h"

#include "common/atomic_file.h"
#include "common/bytes.h"
#include "common/file_read.h"
#include "common/number_text.h"
#include "image/directory.h"
#include "inspect/scan.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

namespace files {
namespace {

namespace e = image::entry;
namespace ds = image::data_sector;

constexpr int BITS_PER_BYTE = 8;
constexpr std::size_t IMAGE_SIZE = static_cast<std::size_t>(image::IMAGE_BYTES);
// A chain walked for the sectors a file holds may run this far past its sector count before it counts as a loop.
constexpr int WALK_SLACK = 2;
constexpr int MAX_NAMED_SECTORS = 5; // unreadable sectors named in a refusal

// A disc value seen as a sector source, without copying its bytes.
class BorrowedBytes : public image::ByteSource
{
public:
    explicit BorrowedBytes(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        if (offset >= m_bytes.size())
            return 0;
        const auto at = static_cast<std::size_t>(offset); // below size(), so it fits
        const std::size_t n = std::min(out.size(), m_bytes.size() - at);
        std::memcpy(out.data(), m_bytes.data() + at, n);
        return n;
    }
    const std::uint8_t* data() override { return m_bytes.data(); }

private:
    std::span<const std::uint8_t> m_bytes;
};

image::RawImage source_of(const DiscValue& disc)
{
    return image::RawImage(std::make_unique<BorrowedBytes>(disc.bytes), disc.layout);
}

std::size_t offset_of(const DiscValue& disc, std::uint8_t track_byte, int sector_number)
{
    return static_cast<std::size_t>(image::sector_offset(disc.layout, track_byte, sector_number - 1));
}

std::span<std::uint8_t> sector_of(DiscValue& disc, int data_index)
{
    const image::DataSectorAddress at = image::data_sector_address(data_index);
    return std::span<std::uint8_t>(disc.bytes).subspan(offset_of(disc, at.track_byte, at.number), image::SECTOR_SIZE);
}

std::span<const std::uint8_t> sector_of(const DiscValue& disc, std::uint8_t track_byte, int sector_number)
{
    return std::span<const std::uint8_t>(disc.bytes)
        .subspan(offset_of(disc, track_byte, sector_number), image::SECTOR_SIZE);
}

std::size_t entry_offset(const DiscValue& disc, int slot)
{
    const image::SlotAddress at = image::slot_address(slot);
    return static_cast<std::size_t>(image::sector_offset(disc.layout, at.track_byte, at.sector_index)) + at.offset;
}

image::EntryBytes entry_of(const DiscValue& disc, int slot)
{
    image::EntryBytes bytes{};
    std::copy_n(disc.bytes.begin() + static_cast<std::ptrdiff_t>(entry_offset(disc, slot)), e::SIZE, bytes.begin());
    return bytes;
}

void put_entry(DiscValue& disc, int slot, const image::EntryBytes& bytes)
{
    std::copy(bytes.begin(), bytes.end(), disc.bytes.begin() + static_cast<std::ptrdiff_t>(entry_offset(disc, slot)));
}

int slot_count(const DiscValue& disc)
{
    return image::decode_directory_size(entry_of(disc, 0)).slot_count();
}

bool is_used(const image::EntryBytes& bytes)
{
    return (bytes[e::STATUS] & image::TYPE_MASK) != 0;
}

// Whether an entry's sector map holds data sector `index`.
bool map_bit(const image::EntryBytes& bytes, int index)
{
    const auto at = static_cast<std::size_t>(index);
    return ((bytes[e::SECTOR_MAP + at / BITS_PER_BYTE] >> (at % BITS_PER_BYTE)) & 1) != 0;
}

using SectorSet = std::vector<bool>; // one flag per data sector, in the +D's order

// The data sectors an entry holds: the bits of its map, and the sectors its chain reaches (bounded by its count).
void add_sectors_of(const DiscValue& disc, const image::EntryBytes& bytes, SectorSet& held)
{
    for (int index = 0; index < image::DATA_SECTORS; ++index)
        if (map_bit(bytes, index))
            held[static_cast<std::size_t>(index)] = true;
    const image::DirectoryEntry decoded = image::decode_directory_entry(bytes);
    if (image::file_type(decoded.type_code()).subdirectory)
        return;
    SectorSet walked(image::DATA_SECTORS, false);
    std::uint8_t track = decoded.first_track;
    std::uint8_t number = decoded.first_sector;
    for (int n = 0; n < decoded.sector_count + WALK_SLACK; ++n) {
        const auto index = image::data_sector_index(track, number);
        if (!index || walked[static_cast<std::size_t>(*index)])
            break;
        walked[static_cast<std::size_t>(*index)] = true;
        held[static_cast<std::size_t>(*index)] = true;
        const auto sector = sector_of(disc, track, number);
        track = sector[ds::LINK_TRACK];
        number = sector[ds::LINK_SECTOR];
    }
}

// The sectors held by the used entries of every slot but those in `except`.
SectorSet held_sectors(const DiscValue& disc, std::span<const int> except = {})
{
    SectorSet held(image::DATA_SECTORS, false);
    const int slots = slot_count(disc);
    for (int slot = 0; slot < slots; ++slot) {
        if (std::find(except.begin(), except.end(), slot) != except.end())
            continue;
        const image::EntryBytes bytes = entry_of(disc, slot);
        if (is_used(bytes))
            add_sectors_of(disc, bytes, held);
    }
    return held;
}

std::uint8_t fold(std::uint8_t c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

// Whether two stored names are the same file to the DOS. The format pages at hand (World of Sam, the Sam Coupe
// Scrapbook) do not say whether G+DOS and SAMDOS fold letter case when they look a name up; the comparison ignores
// the case of A-Z, the stricter choice, so that no name the DOS might take for another reaches the disc.
bool same_name(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
    for (std::size_t i = 0; i < e::NAME_LEN; ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

std::span<const std::uint8_t> name_of(const image::EntryBytes& bytes)
{
    return std::span<const std::uint8_t>(bytes).subspan(e::NAME, e::NAME_LEN);
}

std::string shown_name(std::span<const std::uint8_t> name)
{
    std::string text(name.begin(), name.end());
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return "\"" + text + "\"";
}

// The slot (other than `except`) whose used entry has that name; -1 for none.
int slot_named(const DiscValue& disc, std::span<const std::uint8_t> name, int except = -1)
{
    const int slots = slot_count(disc);
    for (int slot = 0; slot < slots; ++slot) {
        const image::EntryBytes bytes = entry_of(disc, slot);
        if (slot != except && is_used(bytes) && same_name(name_of(bytes), name))
            return slot;
    }
    return -1;
}

std::string name_taken(std::span<const std::uint8_t> name, int slot)
{
    return "the name " + shown_name(name) + " is taken by slot " + std::to_string(slot) + "; nothing changed";
}

// What a file is, as a line says it: "BASIC, 6,912 bytes".
std::string file_text(const image::EntryBytes& bytes, int slot)
{
    const image::CatalogueRow row = image::catalogue_row(image::decode_directory_entry(bytes), slot);
    return row.type_text + ", " + common::grouped(static_cast<std::uint64_t>(std::max<std::int64_t>(row.length, 0))) +
           " bytes";
}

std::optional<std::string> check_slot(const DiscValue& disc, int slot)
{
    if (slot < 0 || slot >= slot_count(disc) || !is_used(entry_of(disc, slot)))
        return "no file in slot " + std::to_string(slot) + "; nothing changed";
    return std::nullopt;
}

EditOutcome verified(const DiscValue& before, Edited edited)
{
    if (auto why = verify_edit(before, edited.disc, edited.changed_slots))
        return "the edit did not pass its check (" + *why + "); nothing changed";
    return edited;
}

std::string plural(std::size_t n, const char* one, const char* many)
{
    return common::grouped(n) + " " + (n == 1 ? one : many);
}

// The scan's findings, without its first line and its summary.
std::vector<std::string> findings_of(const DiscValue& disc)
{
    image::RawImage source = source_of(disc);
    inspect::ScanResult scan = inspect::scan_image(source, "image");
    std::vector<std::string> lines;
    if (scan.lines.size() > 3)
        lines.assign(scan.lines.begin() + 1, scan.lines.end() - 2);
    return lines;
}

// Why the map of a changed, used entry disagrees with its chain: the chain from its first sector must run its
// sector count through distinct data sectors, end there, and be exactly the sectors its map names.
std::optional<std::string> map_disagrees(const DiscValue& disc, const image::EntryBytes& bytes)
{
    const image::DirectoryEntry decoded = image::decode_directory_entry(bytes);
    if (image::file_type(decoded.type_code()).subdirectory)
        return std::nullopt;
    SectorSet chain(image::DATA_SECTORS, false);
    std::uint8_t track = decoded.first_track;
    std::uint8_t number = decoded.first_sector;
    for (int n = 0; n < decoded.sector_count; ++n) {
        const auto index = image::data_sector_index(track, number);
        if (!index || chain[static_cast<std::size_t>(*index)])
            return "its chain leaves the data sectors or comes back to a sector";
        chain[static_cast<std::size_t>(*index)] = true;
        const auto sector = sector_of(disc, track, number);
        track = sector[ds::LINK_TRACK];
        number = sector[ds::LINK_SECTOR];
    }
    if (track != 0)
        return "its chain runs past its sector count";
    for (int index = 0; index < image::DATA_SECTORS; ++index)
        if (map_bit(bytes, index) != chain[static_cast<std::size_t>(index)])
            return "its sector map disagrees with its chain";
    return std::nullopt;
}

} // namespace

std::variant<DiscValue, std::string> read_disc_value(image::SectorSource& disc, image::Layout layout)
{
    DiscValue value{std::vector<std::uint8_t>(IMAGE_SIZE), layout};
    std::vector<std::string> bad;
    std::size_t bad_count = 0;
    for (int track = 0; track < image::TRACKS_PER_SIDE; ++track) {
        for (int side = 0; side < image::SIDES; ++side) {
            const auto track_byte = static_cast<std::uint8_t>(track | (side != 0 ? image::SIDE_BIT : 0));
            for (int index = 0; index < image::SECTORS_PER_TRACK; ++index) {
                const auto at = static_cast<std::size_t>(image::sector_offset(layout, track_byte, index));
                const image::SectorSpan sector(value.bytes.data() + at, image::SECTOR_SIZE);
                if (disc.read_sector(track_byte, index, sector) == image::SectorStatus::Ok)
                    continue;
                if (++bad_count <= MAX_NAMED_SECTORS)
                    bad.push_back(image::track_text(track, side) + " sector " + std::to_string(index + 1));
            }
        }
    }
    if (bad_count == 0)
        return value;
    std::string why = plural(bad_count, "sector", "sectors") + " missing or unreadable (";
    for (std::size_t i = 0; i < bad.size(); ++i)
        why.append(i == 0 ? "" : ", ").append(bad[i]);
    why.append(bad_count > bad.size() ? ", ...)" : ")");
    return why + "; an edit would write zeros there, so nothing is edited";
}

EditOutcome add_files(const DiscValue& disc, std::span<const NewFile> files)
{
    if (files.empty())
        return std::string("no file to add");
    const image::DirectorySize size = image::decode_directory_size(entry_of(disc, 0));
    if (size.tracks != image::DIRECTORY_TRACKS)
        return "the disc has " + std::to_string(size.tracks) +
               " directory tracks (MasterDOS); files are added only to discs of 4; nothing changed";

    // Names: none may be on the disc already, nor twice among the new files.
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto name = std::span<const std::uint8_t>(files[i].file.entry).subspan(e::NAME, e::NAME_LEN);
        if (const int slot = slot_named(disc, name); slot >= 0)
            return files[i].origin + ": " + name_taken(name, slot);
        for (std::size_t j = 0; j < i; ++j)
            if (same_name(name, std::span<const std::uint8_t>(files[j].file.entry).subspan(e::NAME, e::NAME_LEN)))
                return files[i].origin + ": the name " + shown_name(name) + " is also that of " + files[j].origin +
                       "; nothing changed";
    }

    // Room: free slots and free sectors, both counted before anything is placed.
    std::vector<int> free_slots;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot)
        if (!is_used(entry_of(disc, slot)))
            free_slots.push_back(slot);
    SectorSet held = held_sectors(disc);
    const auto free_sectors = static_cast<std::size_t>(std::count(held.begin(), held.end(), false));
    std::size_t needed = 0;
    for (const NewFile& file : files)
        needed += static_cast<std::size_t>(image::sectors_for(file.file.body.size()));
    std::string short_of;
    if (files.size() > free_slots.size())
        short_of = "needs " + plural(files.size() - free_slots.size(), "more directory slot", "more directory slots") +
                   ": " + plural(files.size(), "file", "files") + ", " +
                   plural(free_slots.size(), "free slot", "free slots");
    if (needed > free_sectors)
        short_of.append(short_of.empty() ? "" : "; ")
            .append("needs " + plural(needed - free_sectors, "more free sector", "more free sectors") + ": " +
                    common::grouped(needed) + " needed, " + common::grouped(free_sectors) + " free");
    if (!short_of.empty())
        return short_of + "; nothing changed";

    Edited edited{disc, {}, {}};
    int next = 0; // sectors below it are held
    for (std::size_t i = 0; i < files.size(); ++i) {
        const NewFile& file = files[i];
        const int slot = free_slots[i];
        image::EntryBytes entry = file.file.entry;
        std::fill(entry.begin() + e::SECTOR_COUNT, entry.begin() + e::SECTOR_MAP + e::SECTOR_MAP_LEN, std::uint8_t{0});
        const int count = image::sectors_for(file.file.body.size());
        common::put_be16(entry, e::SECTOR_COUNT, static_cast<std::uint16_t>(count));
        std::vector<int> chain;
        for (int n = 0; n < count; ++n) {
            while (held[static_cast<std::size_t>(next)])
                ++next;
            held[static_cast<std::size_t>(next)] = true;
            chain.push_back(next);
        }
        const image::DataSectorAddress first = image::data_sector_address(chain.front());
        entry[e::FIRST_TRACK] = first.track_byte;
        entry[e::FIRST_SECTOR] = first.number;
        for (std::size_t n = 0; n < chain.size(); ++n) {
            const auto sector = sector_of(edited.disc, chain[n]);
            std::fill(sector.begin(), sector.end(), std::uint8_t{0});
            const std::size_t from = n * ds::DATA_BYTES;
            const std::size_t take =
                std::min(ds::DATA_BYTES, file.file.body.size() - std::min(from, file.file.body.size()));
            std::copy_n(file.file.body.begin() + static_cast<std::ptrdiff_t>(from), take, sector.begin());
            if (n + 1 < chain.size()) {
                const image::DataSectorAddress link = image::data_sector_address(chain[n + 1]);
                sector[ds::LINK_TRACK] = link.track_byte;
                sector[ds::LINK_SECTOR] = link.number;
            }
            entry[e::SECTOR_MAP + static_cast<std::size_t>(chain[n] / BITS_PER_BYTE)] |=
                static_cast<std::uint8_t>(1U << (chain[n] % BITS_PER_BYTE));
        }
        put_entry(edited.disc, slot, entry);
        edited.changed_slots.push_back(slot);
        edited.lines.push_back("slot " + std::to_string(slot) + ": added " + shown_name(name_of(entry)) + " (" +
                               file_text(entry, slot) + ", " + plural(chain.size(), "sector", "sectors") + ") from " +
                               file.origin);
    }
    return verified(disc, std::move(edited));
}

EditOutcome remove_files(const DiscValue& disc, std::span<const int> slots, bool wipe_data)
{
    if (slots.empty())
        return std::string("no slot to remove");
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (auto why = check_slot(disc, slots[i]))
            return *why;
        if (std::find(slots.begin(), slots.begin() + static_cast<std::ptrdiff_t>(i), slots[i]) !=
            slots.begin() + static_cast<std::ptrdiff_t>(i))
            return "slot " + std::to_string(slots[i]) + " is named twice; nothing changed";
    }
    Edited edited{disc, {}, {}};
    // Sectors still held by the files that stay are never wiped, even where a damaged map or chain shares them.
    const SectorSet kept = held_sectors(disc, slots);
    for (const int slot : slots) {
        image::EntryBytes entry = entry_of(disc, slot);
        std::size_t wiped = 0;
        if (wipe_data) {
            SectorSet own(image::DATA_SECTORS, false);
            add_sectors_of(disc, entry, own);
            for (int index = 0; index < image::DATA_SECTORS; ++index) {
                if (!own[static_cast<std::size_t>(index)] || kept[static_cast<std::size_t>(index)])
                    continue;
                const auto sector = sector_of(edited.disc, index);
                std::fill(sector.begin(), sector.end(), std::uint8_t{0});
                ++wiped;
            }
        }
        std::string line = "slot " + std::to_string(slot) + ": removed " + shown_name(name_of(entry)) + " (" +
                           file_text(entry, slot) + ")";
        if (wipe_data)
            line += ", " + plural(wiped, "sector", "sectors") + " zeroed";
        const image::DirectorySize size = image::decode_directory_size(entry);
        entry[e::STATUS] = 0;
        std::fill_n(entry.begin() + e::SECTOR_MAP, e::SECTOR_MAP_LEN, std::uint8_t{0});
        // A free first entry is read as MasterDOS's, whose last byte counts extra directory tracks: the disc keeps
        // the directory it had, whatever bytes the file left there.
        if (slot == 0 && image::decode_directory_size(entry).tracks != size.tracks)
            entry[e::EXTRA_DIRECTORY_TRACKS] = 0;
        put_entry(edited.disc, slot, entry);
        edited.changed_slots.push_back(slot);
        edited.lines.push_back(std::move(line));
    }
    return verified(disc, std::move(edited));
}

EditOutcome rename_file(const DiscValue& disc, int slot, std::string_view new_name)
{
    if (auto why = check_slot(disc, slot))
        return *why;
    if (new_name.empty())
        return std::string("a new name needs at least one character; nothing changed");
    const auto name = image::stored_name(new_name);
    if (const int other = slot_named(disc, name, slot); other >= 0)
        return name_taken(name, other);
    Edited edited{disc, {}, {slot}};
    image::EntryBytes entry = entry_of(disc, slot);
    const std::string old_name = shown_name(name_of(entry));
    std::copy(name.begin(), name.end(), entry.begin() + e::NAME);
    put_entry(edited.disc, slot, entry);
    edited.lines.push_back("slot " + std::to_string(slot) + ": renamed " + old_name + " to " + shown_name(name));
    return verified(disc, std::move(edited));
}

EditOutcome set_flags(const DiscValue& disc, int slot, FlagChange hidden, FlagChange protect)
{
    if (auto why = check_slot(disc, slot))
        return *why;
    Edited edited{disc, {}, {slot}};
    image::EntryBytes entry = entry_of(disc, slot);
    auto apply = [&](FlagChange change, std::uint8_t bit) {
        if (change == FlagChange::Set)
            entry[e::STATUS] |= bit;
        else if (change == FlagChange::Clear)
            entry[e::STATUS] &= static_cast<std::uint8_t>(~bit);
    };
    apply(hidden, image::HIDDEN_BIT);
    apply(protect, image::PROTECTED_BIT);
    put_entry(edited.disc, slot, entry);
    auto state = [&](std::uint8_t bit, const char* on, const char* off) {
        return (entry[e::STATUS] & bit) != 0 ? on : off;
    };
    edited.lines.push_back("slot " + std::to_string(slot) + ": " + shown_name(name_of(entry)) + " " +
                           state(image::HIDDEN_BIT, "hidden", "not hidden") + ", " +
                           state(image::PROTECTED_BIT, "protected", "not protected"));
    return verified(disc, std::move(edited));
}

std::optional<std::string> verify_edit(const DiscValue& before, const DiscValue& after,
                                       std::span<const int> changed_slots)
{
    if (before.bytes.size() != IMAGE_SIZE || after.bytes.size() != IMAGE_SIZE || before.layout != after.layout)
        return std::string("the edited disc is not a whole disc in the same layout");
    const int slots = std::max(slot_count(before), slot_count(after));
    auto changed = [&](int slot) {
        return std::find(changed_slots.begin(), changed_slots.end(), slot) != changed_slots.end();
    };

    // The files left alone: their entries, and every sector they hold, as they were.
    for (int slot = 0; slot < slots; ++slot)
        if (!changed(slot) && entry_of(before, slot) != entry_of(after, slot))
            return "the entry of slot " + std::to_string(slot) + " changed";
    const SectorSet untouched = held_sectors(before, changed_slots);
    for (int index = 0; index < image::DATA_SECTORS; ++index) {
        if (!untouched[static_cast<std::size_t>(index)])
            continue;
        const image::DataSectorAddress at = image::data_sector_address(index);
        const auto a = sector_of(before, at.track_byte, at.number);
        const auto b = sector_of(after, at.track_byte, at.number);
        if (!std::equal(a.begin(), a.end(), b.begin()))
            return "data of a file left alone changed (track " + std::to_string(at.track_byte & image::TRACK_MASK) +
                   " side " + std::to_string(at.track_byte >> 7) + " sector " + std::to_string(at.number) + ")";
    }

    // How many used entries of the edited disc hold each sector.
    std::vector<int> holders(image::DATA_SECTORS, 0);
    for (int slot = 0; slot < slots; ++slot) {
        const image::EntryBytes bytes = entry_of(after, slot);
        if (!is_used(bytes))
            continue;
        SectorSet own(image::DATA_SECTORS, false);
        add_sectors_of(after, bytes, own);
        for (int index = 0; index < image::DATA_SECTORS; ++index)
            holders[static_cast<std::size_t>(index)] += own[static_cast<std::size_t>(index)] ? 1 : 0;
    }

    // The changed entries: a used one's map agrees with its chain and shares no sector with another file; a free
    // one names no sector.
    for (const int slot : changed_slots) {
        if (slot < 0 || slot >= slots)
            return "slot " + std::to_string(slot) + " is not on the disc";
        const image::EntryBytes bytes = entry_of(after, slot);
        if (!is_used(bytes)) {
            for (int index = 0; index < image::DATA_SECTORS; ++index)
                if (map_bit(bytes, index))
                    return "the freed slot " + std::to_string(slot) + " still names sectors in its map";
            continue;
        }
        if (entry_of(before, slot) == bytes)
            continue;
        const image::EntryBytes old = entry_of(before, slot);
        const bool same_sectors =
            is_used(old) && std::equal(old.begin() + e::SECTOR_COUNT, old.begin() + e::SECTOR_MAP + e::SECTOR_MAP_LEN,
                                       bytes.begin() + e::SECTOR_COUNT);
        if (same_sectors)
            continue; // renamed or flagged: its sectors are those it had
        if (auto why = map_disagrees(after, bytes))
            return "slot " + std::to_string(slot) + ": " + *why;
        for (int index = 0; index < image::DATA_SECTORS; ++index)
            if (map_bit(bytes, index) && holders[static_cast<std::size_t>(index)] > 1)
                return "slot " + std::to_string(slot) + " shares a sector with another file";
    }

    // The scan: nothing it finds on the edited disc is new. A renamed file's old findings carry its new name.
    std::map<std::string, int> known;
    std::vector<std::pair<std::string, std::string>> renames;
    for (const int slot : changed_slots) {
        const image::DirectoryEntry a = image::decode_directory_entry(entry_of(before, slot));
        const image::DirectoryEntry b = image::decode_directory_entry(entry_of(after, slot));
        if (a.is_used() && b.is_used() && a.name() != b.name())
            renames.emplace_back(a.name(), b.name());
    }
    for (std::string line : findings_of(before)) {
        for (const auto& [from, to] : renames)
            if (line.rfind(from, 0) == 0)
                line = to + line.substr(from.size());
        ++known[line];
    }
    for (const std::string& line : findings_of(after))
        if (--known[line] < 0)
            return "the scan finds something new: " + line;
    return std::nullopt;
}

std::optional<std::string> save_disc(const std::string& path, const DiscValue& before, const DiscValue& after)
{
    // A link is followed, so that the file it names is replaced and the link stays one.
    std::error_code error;
    std::string target = path;
    if (std::filesystem::is_symlink(path, error)) {
        const auto real = std::filesystem::canonical(path, error);
        if (error)
            return "cannot follow the link " + path + ": " + error.message() + "; nothing written";
        target = real.string();
    }
    auto read = common::read_whole_file(target, IMAGE_SIZE + 1, "a disc image");
    if (const auto* failure = std::get_if<common::ReadFailure>(&read))
        return "cannot read " + path + " again: " + failure->reason + "; nothing written";
    if (std::get<std::vector<std::uint8_t>>(read) != before.bytes)
        return path + " changed on disc since it was read; nothing written";
    common::AtomicFile file(target);
    file.write(after.bytes);
    if (!file.commit())
        return "cannot write " + path + ": " + file.error_text() + "; nothing written";
    return std::nullopt;
}

} // namespace files
