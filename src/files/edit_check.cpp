// The check every edit passes before anyone may write it, decided on the discs' bytes and the scan's findings by
// slot and kind: the edited disc is whole and in the same layout; the entries of the slots left alone and every
// sector their files hold are as they were; a changed entry in use has a sector map that agrees with its chain
// and shares no sector with another file (unless its sectors are the ones it had: a rename, a flag); a freed
// entry names no sector; and the scan finds nothing on the edited disc that it did not find, for that slot and of
// that kind, before.
#include "files/disc_access.h"
#include "inspect/scan.h"

#include <algorithm>
#include <map>
#include <utility>

namespace files {
namespace {

using namespace disc;
namespace e = image::entry;
namespace ds = image::data_sector;

std::string slot_text(int slot)
{
    return "slot " + std::to_string(slot);
}

// The entries and held sectors of the slots not in `changed`, compared (the bytes of a held sector only).
std::optional<std::string> files_left_alone_differ(const DiscValue& before, const DiscValue& after, int slots,
                                                   std::span<const int> changed, const DiscScan* before_scan)
{
    for (int slot = 0; slot < slots; ++slot)
        if (std::find(changed.begin(), changed.end(), slot) == changed.end() &&
            entry_of(before, slot) != entry_of(after, slot))
            return "the entry of " + slot_text(slot) + " changed";
    const image::SectorMap untouched = held_sectors(before, changed, before_scan);
    for (int index = 0; index < image::DATA_SECTORS; ++index) {
        if (!untouched.holds(index))
            continue;
        const auto a = data_sector(before, index);
        const auto b = data_sector(after, index);
        if (std::equal(a.begin(), a.end(), b.begin(), b.end()))
            continue;
        const image::DataSectorAddress at = image::data_sector_address(index);
        return "data of a file left alone changed (track " + std::to_string(at.track_byte & image::TRACK_MASK) +
               " side " + std::to_string(at.track_byte >> 7) + " sector " + std::to_string(at.number) + ")";
    }
    return std::nullopt;
}

// Why the map of a changed, used entry disagrees with its chain: the chain from its first sector must run its
// sector count through distinct data sectors, end there, and be exactly the sectors its map names.
std::optional<std::string> map_disagrees(const DiscValue& disc, const image::EntryBytes& bytes)
{
    const image::DirectoryEntry decoded = image::decode_directory_entry(bytes);
    if (image::file_type(decoded.type_code()).subdirectory)
        return std::nullopt;
    image::SectorMap chain;
    std::uint8_t track = decoded.first_track;
    std::uint8_t number = decoded.first_sector;
    for (int n = 0; n < decoded.sector_count; ++n) {
        const auto index = image::data_sector_index(track, number);
        if (!index || chain.holds(*index))
            return "its chain leaves the data sectors or comes back to a sector";
        chain.add(*index);
        const auto sector = sector_at(disc, track, number);
        track = sector[ds::LINK_TRACK];
        number = sector[ds::LINK_SECTOR];
    }
    if (track != 0)
        return "its chain runs past its sector count";
    if (image::SectorMap::of_entry(bytes) != chain)
        return "its sector map disagrees with its chain";
    return std::nullopt;
}

// The sectors that more than one used entry of the disc holds. With `before_scan`, the slots of the disc before
// that are not in `changed` hold what they held before: their entries and every sector they held are as they were
// (files_left_alone_differ), so their chains run through the same sectors.
image::SectorMap shared_sectors(const DiscValue& before, const DiscValue& after, int slots,
                                std::span<const int> changed, const DiscScan* before_scan)
{
    const int known = before_scan == nullptr ? 0 : slot_count(before);
    auto held = before_scan == nullptr ? std::span<const HeldBySlot>() : std::span(before_scan->held);
    image::SectorMap once;
    image::SectorMap twice;
    auto add = [&](const image::SectorMap& own) {
        twice |= once & own;
        once |= own;
    };
    for (int slot = 0; slot < slots; ++slot) {
        if (slot < known && std::find(changed.begin(), changed.end(), slot) == changed.end()) {
            while (!held.empty() && held.front().slot < slot)
                held = held.subspan(1);
            if (!held.empty() && held.front().slot == slot)
                add(held.front().sectors);
            continue;
        }
        const image::EntryBytes bytes = entry_of(after, slot);
        if (!is_used(bytes))
            continue;
        image::SectorMap own;
        add_sectors_of(after, bytes, own);
        add(own);
    }
    return twice;
}

std::optional<std::string> changed_entry_unsound(const DiscValue& before, const DiscValue& after, int slot,
                                                 const image::SectorMap& shared)
{
    const image::EntryBytes bytes = entry_of(after, slot);
    if (!is_used(bytes)) {
        if (image::SectorMap::of_entry(bytes).count() != 0)
            return "the freed " + slot_text(slot) + " still names sectors in its map";
        return std::nullopt;
    }
    const image::EntryBytes old = entry_of(before, slot);
    // Renamed or flagged: its sectors are those it had, and stay as sound as they were.
    if (is_used(old) && std::equal(old.begin() + e::SECTOR_COUNT, old.begin() + e::SECTOR_MAP + e::SECTOR_MAP_LEN,
                                   bytes.begin() + e::SECTOR_COUNT))
        return std::nullopt;
    if (auto why = map_disagrees(after, bytes))
        return slot_text(slot) + ": " + *why;
    if ((image::SectorMap::of_entry(bytes) & shared).count() != 0)
        return slot_text(slot) + " shares a sector with another file";
    return std::nullopt;
}

std::vector<inspect::ScanFinding> findings_of(const DiscValue& disc)
{
    image::RawImage source = source_of(disc);
    return inspect::scan_image(source, "image").findings;
}

// A finding is new when the edited disc has more of its kind for its slot than the disc before: a renamed file's
// findings stay its own, whatever its name now.
std::optional<std::string> scan_finds_more(std::span<const inspect::ScanFinding> before, const DiscValue& after)
{
    std::map<std::pair<int, std::string_view>, int> known;
    for (const inspect::ScanFinding& finding : before)
        ++known[{finding.slot, finding.kind}];
    for (const inspect::ScanFinding& finding : findings_of(after))
        if (--known[{finding.slot, finding.kind}] < 0)
            return "the scan finds something new: " + finding.text;
    return std::nullopt;
}

} // namespace

DiscScan scan_disc(const DiscValue& disc)
{
    DiscScan scan{findings_of(disc), {}};
    const int slots = slot_count(disc);
    for (int slot = 0; slot < slots; ++slot) {
        const image::EntryBytes bytes = entry_of(disc, slot);
        if (!is_used(bytes))
            continue;
        HeldBySlot& own = scan.held.emplace_back();
        own.slot = slot;
        add_sectors_of(disc, bytes, own.sectors);
    }
    return scan;
}

std::optional<std::string> verify_edit(const DiscValue& before, const DiscValue& after,
                                       std::span<const int> changed_slots, const DiscScan* before_scan)
{
    if (before.bytes.size() != IMAGE_SIZE || after.bytes.size() != IMAGE_SIZE || before.layout != after.layout)
        return std::string("the edited disc is not a whole disc in the same layout");
    const int slots = std::max(slot_count(before), slot_count(after));
    for (const int slot : changed_slots)
        if (slot < 0 || slot >= slots)
            return slot_text(slot) + " is not on the disc";
    if (auto why = files_left_alone_differ(before, after, slots, changed_slots, before_scan))
        return why;
    const image::SectorMap shared = shared_sectors(before, after, slots, changed_slots, before_scan);
    for (const int slot : changed_slots)
        if (auto why = changed_entry_unsound(before, after, slot, shared))
            return why;
    if (before_scan != nullptr)
        return scan_finds_more(before_scan->findings, after);
    return scan_finds_more(findings_of(before), after);
}

} // namespace files
