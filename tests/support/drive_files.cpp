#include "support/drive_files.h"

#include "transfer/libdsk_drive.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <libdsk.h>

namespace testing_support {
namespace {

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void check(dsk_err_t error, const char* what)
{
    if (error != DSK_ERR_OK)
        throw std::runtime_error(std::string(what) + ": " + dsk_strerror(error));
}

} // namespace

bool has_dsktrans()
{
    return std::system("command -v dsktrans > /dev/null 2>&1") == 0;
}

bool dsktrans(const std::filesystem::path& from, const std::string& from_driver, const std::filesystem::path& to,
              const std::string& to_driver)
{
    const std::string command = "dsktrans -itype " + quoted(from_driver) + " " + quoted(from.string()) + " -otype " +
                                quoted(to_driver) + " " + quoted(to.string()) + " -format mgt800 > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void write_damaged_edsk(const std::filesystem::path& path, std::span<const std::uint8_t> disc,
                        const transfer::SectorAddress& missing)
{
    {
        auto opened = transfer::open_libdsk_drive({path.string(), "edsk"}, true);
        if (!opened.drive)
            throw std::runtime_error(opened.error);
        image::RawImage source(std::make_unique<image::MemoryBytes>(std::vector(disc.begin(), disc.end())),
                               image::Layout::Interleaved);
        if (transfer::write_disc(*opened.drive, source).outcome != transfer::Outcome::Done)
            throw std::runtime_error("cannot write " + path.string());
    }
    DSK_PDRIVER handle = nullptr;
    check(dsk_open(&handle, path.c_str(), "edsk", nullptr), "open");
    DSK_GEOMETRY geometry{};
    dg_stdformat(&geometry, FMT_MGT800, nullptr, nullptr);
    const auto cylinder = static_cast<dsk_pcyl_t>(missing.track);
    const auto head = static_cast<dsk_phead_t>(missing.side);
    std::vector<DSK_FORMAT> headers;
    for (int sector = 1; sector <= image::SECTORS_PER_TRACK; ++sector) {
        if (sector != missing.sector)
            headers.push_back({cylinder, head, static_cast<dsk_psect_t>(sector), image::SECTOR_SIZE});
    }
    check(dsk_pformat(handle, &geometry, cylinder, head, headers.data(), 0xE5), "format");
    // The format emptied the track: its other sectors get their bytes back.
    const std::uint8_t track_byte = static_cast<std::uint8_t>(missing.track | (missing.side ? image::SIDE_BIT : 0));
    for (const DSK_FORMAT& header : headers) {
        const auto offset =
            image::sector_offset(image::Layout::Interleaved, track_byte, static_cast<int>(header.fmt_sector) - 1);
        check(dsk_pwrite(handle, &geometry, disc.data() + offset, cylinder, head, header.fmt_sector), "write");
    }
    check(dsk_close(&handle), "close");
}

} // namespace testing_support
