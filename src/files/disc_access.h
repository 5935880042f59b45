// Reading and changing the entries and sectors of a disc value, for the edits and their check: an entry by slot,
// a data sector by its index in the +D's order, and the data sectors a file holds. A file holds the sectors its
// map names and the sectors its chain reaches (bounded by its count): real discs carry maps that disagree with
// their chains, and neither may be overwritten. Internal to the files module.
#pragma once

#include "files/disc_edit.h"
#include "image/directory.h"

#include <span>
#include <string>
#include <vector>

namespace files::disc {

inline constexpr std::size_t IMAGE_SIZE = static_cast<std::size_t>(image::IMAGE_BYTES);

// The disc value seen as a sector source, without copying its bytes; valid while the value lives unchanged.
image::RawImage source_of(const DiscValue& disc);

image::EntryBytes entry_of(const DiscValue& disc, int slot);
void put_entry(DiscValue& disc, int slot, const image::EntryBytes& bytes);
// The directory's slots, as its first entry says.
int slot_count(const DiscValue& disc);
bool is_used(const image::EntryBytes& bytes);
bool is_protected(const image::EntryBytes& bytes);

std::span<std::uint8_t> data_sector(DiscValue& disc, int data_index);
std::span<const std::uint8_t> data_sector(const DiscValue& disc, int data_index);
std::span<const std::uint8_t> sector_at(const DiscValue& disc, std::uint8_t track_byte, int sector_number);

// Adds the data sectors an entry holds to `held`: the bits of its map, and the sectors its chain reaches.
void add_sectors_of(const DiscValue& disc, const image::EntryBytes& bytes, image::SectorMap& held);
// The sectors held by the used entries of every slot but those in `except`; taken from `scanned`, scan_disc(disc),
// when given.
image::SectorMap held_sectors(const DiscValue& disc, std::span<const int> except = {},
                              const DiscScan* scanned = nullptr);

std::span<const std::uint8_t> name_of(const image::EntryBytes& bytes);
// Whether two stored names are the same file to the DOS.
bool same_name(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);
// A stored name as the lines quote it: "MANIC" (trailing spaces and zeros left out).
std::string shown_name(std::span<const std::uint8_t> name);

} // namespace files::disc
