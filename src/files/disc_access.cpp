#include "files/disc_access.h"

#include <algorithm>
#include <cstring>

namespace files::disc {
namespace {

namespace e = image::entry;
namespace ds = image::data_sector;

// A chain walked for the sectors a file holds may run this far past its sector count before it counts as a loop.
constexpr int WALK_SLACK = 2;

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

std::size_t offset_of(const DiscValue& disc, std::uint8_t track_byte, int sector_number)
{
    return static_cast<std::size_t>(image::sector_offset(disc.layout, track_byte, sector_number - 1));
}

std::size_t entry_offset(const DiscValue& disc, int slot)
{
    const image::SlotAddress at = image::slot_address(slot);
    return static_cast<std::size_t>(image::sector_offset(disc.layout, at.track_byte, at.sector_index)) + at.offset;
}

std::uint8_t fold(std::uint8_t c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

} // namespace

image::RawImage source_of(const DiscValue& disc)
{
    return image::RawImage(std::make_unique<BorrowedBytes>(disc.bytes), disc.layout);
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

bool is_protected(const image::EntryBytes& bytes)
{
    return (bytes[e::STATUS] & image::PROTECTED_BIT) != 0;
}

std::span<std::uint8_t> data_sector(DiscValue& disc, int data_index)
{
    const image::DataSectorAddress at = image::data_sector_address(data_index);
    return std::span<std::uint8_t>(disc.bytes).subspan(offset_of(disc, at.track_byte, at.number), image::SECTOR_SIZE);
}

std::span<const std::uint8_t> data_sector(const DiscValue& disc, int data_index)
{
    const image::DataSectorAddress at = image::data_sector_address(data_index);
    return sector_at(disc, at.track_byte, at.number);
}

std::span<const std::uint8_t> sector_at(const DiscValue& disc, std::uint8_t track_byte, int sector_number)
{
    return std::span<const std::uint8_t>(disc.bytes)
        .subspan(offset_of(disc, track_byte, sector_number), image::SECTOR_SIZE);
}

void add_sectors_of(const DiscValue& disc, const image::EntryBytes& bytes, image::SectorMap& held)
{
    held |= image::SectorMap::of_entry(bytes);
    const image::DirectoryEntry decoded = image::decode_directory_entry(bytes);
    if (image::file_type(decoded.type_code()).subdirectory)
        return;
    image::SectorMap walked;
    std::uint8_t track = decoded.first_track;
    std::uint8_t number = decoded.first_sector;
    for (int n = 0; n < decoded.sector_count + WALK_SLACK; ++n) {
        const auto index = image::data_sector_index(track, number);
        if (!index || walked.holds(*index))
            break;
        walked.add(*index);
        held.add(*index);
        const auto sector = sector_at(disc, track, number);
        track = sector[ds::LINK_TRACK];
        number = sector[ds::LINK_SECTOR];
    }
}

image::SectorMap held_sectors(const DiscValue& disc, std::span<const int> except, const DiscScan* scanned)
{
    image::SectorMap held;
    const int slots = slot_count(disc);
    if (scanned != nullptr) {
        for (const HeldBySlot& own : scanned->held)
            if (own.slot < slots && std::find(except.begin(), except.end(), own.slot) == except.end())
                held |= own.sectors;
        return held;
    }
    for (int slot = 0; slot < slots; ++slot) {
        if (std::find(except.begin(), except.end(), slot) != except.end())
            continue;
        const image::EntryBytes bytes = entry_of(disc, slot);
        if (is_used(bytes))
            add_sectors_of(disc, bytes, held);
    }
    return held;
}

std::span<const std::uint8_t> name_of(const image::EntryBytes& bytes)
{
    return std::span<const std::uint8_t>(bytes).subspan(e::NAME, e::NAME_LEN);
}

// The format pages at hand (World of Sam, the Sam Coupe Scrapbook) do not say whether G+DOS and SAMDOS fold letter
// case when they look a name up; the comparison ignores the case of A-Z, the stricter choice, so that no name the
// DOS might take for another reaches the disc.
bool same_name(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
    for (std::size_t i = 0; i < e::NAME_LEN; ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

std::string shown_name(std::span<const std::uint8_t> name)
{
    std::string text(name.begin(), name.end());
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return "\"" + text + "\"";
}

} // namespace files::disc
