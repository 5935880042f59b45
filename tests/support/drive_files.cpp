#include "support/drive_files.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <libdsk.h>

namespace testing_support {

bool dsktrans(const std::filesystem::path& from, const std::string& from_driver, const std::filesystem::path& to,
              const std::string& to_driver)
{
    const std::string command = "dsktrans -itype " + from_driver + " '" + from.string() + "' -otype " + to_driver +
                                " '" + to.string() + "' -format mgt800 > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void write_damaged_edsk(const std::filesystem::path& path, std::span<const std::uint8_t> disc,
                        const transfer::DriveSectorAddress& missing)
{
    DSK_PDRIVER handle = nullptr;
    DSK_GEOMETRY geometry{};
    dg_stdformat(&geometry, FMT_MGT800, nullptr, nullptr);
    dsk_err_t error = dsk_creat(&handle, path.c_str(), "edsk", nullptr);
    for (int index = 0; index < transfer::TRACK_COUNT && error == DSK_ERR_OK; ++index) {
        const int track = index / image::SIDES;
        const int side = index % image::SIDES;
        const auto cylinder = static_cast<dsk_pcyl_t>(track);
        const auto head = static_cast<dsk_phead_t>(side);
        std::vector<DSK_FORMAT> headers;
        for (int sector = 1; sector <= image::SECTORS_PER_TRACK; ++sector) {
            if (transfer::DriveSectorAddress{track, side, sector} != missing)
                headers.push_back({cylinder, head, static_cast<dsk_psect_t>(sector), image::SECTOR_SIZE});
        }
        // libdsk takes as many headers as the geometry has sectors: the damaged track's own count, or it reads
        // past the list.
        DSK_GEOMETRY track_geometry = geometry;
        track_geometry.dg_sectors = static_cast<dsk_psect_t>(headers.size());
        error = dsk_pformat(handle, &track_geometry, cylinder, head, headers.data(), 0xE5);
        const auto track_byte = static_cast<std::uint8_t>(track | (side ? image::SIDE_BIT : 0));
        for (const DSK_FORMAT& header : headers) {
            const int sector_index = static_cast<int>(header.fmt_sector) - 1;
            const auto offset = image::sector_offset(image::Layout::Interleaved, track_byte, sector_index);
            if (error == DSK_ERR_OK)
                error = dsk_pwrite(handle, &geometry, disc.data() + offset, cylinder, head, header.fmt_sector);
        }
    }
    if (handle && dsk_close(&handle) != DSK_ERR_OK && error == DSK_ERR_OK)
        error = DSK_ERR_SYSERR;
    if (error != DSK_ERR_OK)
        throw std::runtime_error(path.string() + ": " + dsk_strerror(error));
}

} // namespace testing_support
