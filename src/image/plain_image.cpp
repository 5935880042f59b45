#include "image/plain_image.h"

namespace image {

PlainImage plain_image(SectorSource& source, Layout layout)
{
    PlainImage plain{std::vector<std::uint8_t>(static_cast<std::size_t>(IMAGE_BYTES)), 0};
    for (int track = 0; track < TRACKS_PER_SIDE; ++track) {
        for (int side = 0; side < SIDES; ++side) {
            const auto track_byte = static_cast<std::uint8_t>(track | (side != 0 ? SIDE_BIT : 0));
            for (int index = 0; index < SECTORS_PER_TRACK; ++index) {
                const auto at = static_cast<std::size_t>(sector_offset(layout, track_byte, index));
                const SectorSpan sector(plain.bytes.data() + at, SECTOR_SIZE);
                if (source.read_sector(track_byte, index, sector) != SectorStatus::Ok)
                    ++plain.unread;
            }
        }
    }
    return plain;
}

} // namespace image
