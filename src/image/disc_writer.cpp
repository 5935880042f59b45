#include "image/disc_writer.h"

#include "common/bytes.h"

#include <algorithm>
#include <cassert>

namespace image {
namespace {

std::span<std::uint8_t> sector_bytes(std::vector<std::uint8_t>& disc, Layout layout, std::uint8_t track_byte,
                                     int sector_index)
{
    const auto offset = static_cast<std::size_t>(sector_offset(layout, track_byte, sector_index));
    return std::span<std::uint8_t>(disc).subspan(offset, SECTOR_SIZE);
}

std::string too_much(const std::string& what, std::size_t count, std::size_t room)
{
    return std::to_string(count) + " " + what + ", a disc holds " + std::to_string(room) + "; nothing written";
}

} // namespace

std::optional<std::string> beyond_one_disc(std::size_t files, std::size_t sectors)
{
    if (files > static_cast<std::size_t>(DIRECTORY_SLOTS))
        return too_much("files", files, DIRECTORY_SLOTS);
    if (sectors > static_cast<std::size_t>(DATA_SECTORS))
        return too_much("sectors needed", sectors, DATA_SECTORS);
    return std::nullopt;
}

std::variant<WrittenDisc, std::string> build_disc(std::span<const DiscFile> files, Layout layout)
{
    assert(layout != Layout::None);
    std::size_t needed = 0;
    for (const DiscFile& file : files)
        needed += sectors_for(file.body.size());
    if (auto refusal = beyond_one_disc(files.size(), needed))
        return std::move(*refusal);

    WrittenDisc disc;
    disc.bytes.assign(static_cast<std::size_t>(IMAGE_BYTES), 0);
    SectorMap held;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const DiscFile& file = files[i];
        const int slot = static_cast<int>(i);
        EntryBytes entry = file.entry;
        const std::vector<int> chain = *held.allocate(sectors_for(file.body.size())); // the sum was checked above
        lay_chain(entry, file.body, chain, [&](int index) {
            const DataSectorAddress at = data_sector_address(index);
            return sector_bytes(disc.bytes, layout, at.track_byte, at.number - 1);
        });
        const SlotAddress where = slot_address(slot);
        const auto dir_sector = sector_bytes(disc.bytes, layout, where.track_byte, where.sector_index);
        std::copy(entry.begin(), entry.end(), dir_sector.begin() + static_cast<std::ptrdiff_t>(where.offset));
        const DataSectorAddress first = data_sector_address(chain.front());
        disc.placed.push_back({slot, static_cast<int>(chain.size()), first.track_byte, first.number});
    }
    return disc;
}

} // namespace image
