// The edit operations on a disc value; each result passes verify_edit (edit_check.cpp) before it is returned.
//
// Allocation follows image::build_disc, so that files added to a disc made by `make` land exactly where `make`
// would have put them: the first free directory slot, and each sector the lowest free one in the +D's sector
// order (the order of the sector map's bits). A free sector is one that no used entry holds (disc_access.h).
// Erasing frees the entry as the DOS's ERASE does (status byte 0, the name left in place) and clears its sector
// map, so the disc's map (the union of the entries' maps) no longer holds its sectors. A protected file is left
// alone by erase and rename, as the DOSes leave it, unless the caller forces the edit.
#include "files/disc_edit.h"

#include "common/bytes.h"
#include "common/number_text.h"
#include "files/disc_access.h"

#include <algorithm>

namespace files {
namespace {

using namespace disc;
namespace e = image::entry;

constexpr int MAX_NAMED_SECTORS = 5; // unreadable sectors named in a refusal

std::string slot_text(int slot)
{
    return "slot " + std::to_string(slot);
}

std::string name_taken(std::span<const std::uint8_t> name, int slot)
{
    return "the name " + shown_name(name) + " is taken by " + slot_text(slot) + "; nothing changed";
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

// What a file is, as a line says it: "BASIC, 6,912 bytes".
std::string file_text(const image::EntryBytes& bytes, int slot)
{
    const image::CatalogueRow row = image::catalogue_row(image::decode_directory_entry(bytes), slot);
    return row.type_text + ", " + common::grouped(static_cast<std::uint64_t>(std::max<std::int64_t>(row.length, 0))) +
           " bytes";
}

// Why the file in `slot` may not be edited: there is none, or (unless `force`) it is protected.
std::optional<std::string> check_slot(const DiscValue& disc, int slot, bool force = true)
{
    if (slot < 0 || slot >= slot_count(disc) || !is_used(entry_of(disc, slot)))
        return "no file in " + slot_text(slot) + "; nothing changed";
    const image::EntryBytes bytes = entry_of(disc, slot);
    if (!force && is_protected(bytes))
        return slot_text(slot) + ": " + shown_name(name_of(bytes)) +
               " is protected (attr -p clears the flag; --force edits it all the same); nothing changed";
    return std::nullopt;
}

EditOutcome verified(const DiscValue& before, Edited edited, const DiscScan* scanned)
{
    if (auto why = verify_edit(before, edited.disc, edited.changed_slots, scanned))
        return "the edit did not pass its check (" + *why + "); nothing changed";
    return edited;
}

std::string plural(std::size_t n, const char* one, const char* many)
{
    return common::grouped(n) + " " + (n == 1 ? one : many);
}

bool is_blank(std::string_view name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return c == ' '; });
}

std::optional<std::string> names_refused(const DiscValue& disc, std::span<const NewFile> files)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto name = name_of(files[i].file.entry);
        if (const int slot = slot_named(disc, name); slot >= 0)
            return files[i].origin + ": " + name_taken(name, slot);
        for (std::size_t j = 0; j < i; ++j)
            if (same_name(name, name_of(files[j].file.entry)))
                return files[i].origin + ": the name " + shown_name(name) + " is also that of " + files[j].origin +
                       "; nothing changed";
    }
    return std::nullopt;
}

// Why the files (and those a tape held beyond them) do not fit: the slots and sectors missing, both counted
// before anything is placed.
std::optional<std::string> room_refused(std::size_t files, std::size_t free_slots, std::size_t needed,
                                        std::size_t free_sectors)
{
    std::string short_of;
    if (files > free_slots)
        short_of = "needs " + plural(files - free_slots, "more directory slot", "more directory slots") + ": " +
                   plural(files, "file", "files") + ", " + plural(free_slots, "free slot", "free slots");
    if (needed > free_sectors)
        short_of.append(short_of.empty() ? "" : "; ")
            .append("needs " + plural(needed - free_sectors, "more free sector", "more free sectors") + ": " +
                    common::grouped(needed) + " needed, " + common::grouped(free_sectors) + " free");
    if (short_of.empty())
        return std::nullopt;
    return short_of + "; nothing changed";
}

// Writes one file into `slot` of the disc, over the lowest sectors `held` does not hold, and adds them to it. The
// room was counted before.
std::string place_file(DiscValue& disc, const NewFile& file, int slot, image::SectorMap& held)
{
    image::EntryBytes entry = file.file.entry;
    const std::vector<int> chain = *held.allocate(image::sectors_for(file.file.body.size()));
    image::lay_chain(entry, file.file.body, chain, [&](int index) { return data_sector(disc, index); });
    put_entry(disc, slot, entry);
    return slot_text(slot) + ": added " + shown_name(name_of(entry)) + " (" + file_text(entry, slot) + ", " +
           plural(chain.size(), "sector", "sectors") + ") from " + file.origin;
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

EditOutcome add_files(const DiscValue& disc, std::span<const NewFile> files, Overflow overflow, const DiscScan* scanned)
{
    if (files.empty())
        return std::string("no file to add");
    const image::DirectorySize size = image::decode_directory_size(entry_of(disc, 0));
    if (size.tracks != image::DIRECTORY_TRACKS)
        return "the disc has " + std::to_string(size.tracks) +
               " directory tracks (MasterDOS); files are added only to discs of 4; nothing changed";
    if (auto why = names_refused(disc, files))
        return *why;

    std::vector<int> free_slots;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot)
        if (!is_used(entry_of(disc, slot)))
            free_slots.push_back(slot);
    image::SectorMap held = held_sectors(disc, {}, scanned);
    const std::size_t free_sectors = held.free_count();
    std::size_t needed = overflow.sectors;
    for (const NewFile& file : files)
        needed += image::sectors_for(file.file.body.size());
    if (auto why = room_refused(files.size() + overflow.files, free_slots.size(), needed, free_sectors))
        return *why;
    if (overflow.files > 0)
        return std::string("the files do not all fit one disc; nothing changed");

    Edited edited{disc, {}, {}};
    for (std::size_t i = 0; i < files.size(); ++i) {
        edited.lines.push_back(place_file(edited.disc, files[i], free_slots[i], held));
        edited.changed_slots.push_back(free_slots[i]);
    }
    return verified(disc, std::move(edited), scanned);
}

EditOutcome remove_files(const DiscValue& disc, std::span<const int> slots, bool wipe_data, bool force,
                         const DiscScan* scanned)
{
    if (slots.empty())
        return std::string("no slot to remove");
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (auto why = check_slot(disc, slots[i], force))
            return *why;
        if (std::find(slots.begin(), slots.begin() + static_cast<std::ptrdiff_t>(i), slots[i]) !=
            slots.begin() + static_cast<std::ptrdiff_t>(i))
            return slot_text(slots[i]) + " is named twice; nothing changed";
    }
    Edited edited{disc, {}, {}};
    // Sectors still held by the files that stay are never wiped, even where a damaged map or chain shares them.
    const image::SectorMap kept = held_sectors(disc, slots, scanned);
    for (const int slot : slots) {
        image::EntryBytes entry = entry_of(disc, slot);
        std::size_t wiped = 0;
        if (wipe_data) {
            image::SectorMap own;
            add_sectors_of(disc, entry, own);
            own.for_each([&](int index) {
                if (kept.holds(index))
                    return;
                const auto sector = data_sector(edited.disc, index);
                std::fill(sector.begin(), sector.end(), std::uint8_t{0});
                ++wiped;
            });
        }
        std::string line =
            slot_text(slot) + ": removed " + shown_name(name_of(entry)) + " (" + file_text(entry, slot) + ")";
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
    return verified(disc, std::move(edited), scanned);
}

EditOutcome rename_file(const DiscValue& disc, int slot, std::string_view new_name, bool force, const DiscScan* scanned)
{
    if (auto why = check_slot(disc, slot, force))
        return *why;
    if (is_blank(new_name))
        return std::string("a new name needs at least one character other than a space; nothing changed");
    const auto name = image::stored_name(new_name);
    if (const int other = slot_named(disc, name, slot); other >= 0)
        return name_taken(name, other);
    Edited edited{disc, {}, {slot}};
    image::EntryBytes entry = entry_of(disc, slot);
    const std::string old_name = shown_name(name_of(entry));
    std::copy(name.begin(), name.end(), entry.begin() + e::NAME);
    put_entry(edited.disc, slot, entry);
    edited.lines.push_back(slot_text(slot) + ": renamed " + old_name + " to " + shown_name(name));
    return verified(disc, std::move(edited), scanned);
}

EditOutcome set_flags(const DiscValue& disc, int slot, FlagChange hidden, FlagChange protect, const DiscScan* scanned)
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
    edited.lines.push_back(slot_text(slot) + ": " + shown_name(name_of(entry)) + " " +
                           state(image::HIDDEN_BIT, "hidden", "not hidden") + ", " +
                           state(image::PROTECTED_BIT, "protected", "not protected"));
    return verified(disc, std::move(edited), scanned);
}

} // namespace files
