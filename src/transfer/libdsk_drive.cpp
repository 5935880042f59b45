#include "transfer/libdsk_drive.h"

#include "common/bytes.h"
#include "image/dsk_source.h"
#include "image/open_container.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include <libdsk.h>
#include <sys/stat.h>

namespace transfer {
namespace {

constexpr unsigned char FORMAT_FILLER = 0xE5; // what a freshly formatted sector holds, as the +D writes it
// The largest sector size code a floppy controller knows (128 << 8 = 32,768 bytes); libdsk divides by sizes it
// shifts out of larger codes.
constexpr int MAX_SIZE_CODE = 8;

DriveResult result_of(dsk_err_t error)
{
    switch (error) {
    case DSK_ERR_OK:
        return {};
    // Damage to one sector, or a sector the track lacks: another try may read it.
    case DSK_ERR_DATAERR:
    case DSK_ERR_NODATA:
    case DSK_ERR_NOADDR:
    case DSK_ERR_OVERRUN:
    case DSK_ERR_SEEKFAIL:
        return {DriveStatus::SectorError, dsk_strerror(error)};
    case DSK_ERR_NOTRDY:
    case DSK_ERR_CHANGED:
        return {DriveStatus::NotReady, dsk_strerror(error)};
    case DSK_ERR_RDONLY:
        return {DriveStatus::WriteProtected, dsk_strerror(error)};
    default:
        return {DriveStatus::Failed, dsk_strerror(error)};
    }
}

class LibdskDrive final : public Drive
{
public:
    explicit LibdskDrive(DSK_PDRIVER handle) : m_handle(handle)
    {
        dg_stdformat(&m_geometry, FMT_MGT800, nullptr, nullptr);
        // The transfer retries sectors itself and counts the tries.
        dsk_set_retry(m_handle, 1);
    }
    ~LibdskDrive() override { close(); }
    LibdskDrive(const LibdskDrive&) = delete;
    LibdskDrive& operator=(const LibdskDrive&) = delete;

    DriveResult read_sector(int track, int side, int sector, image::SectorSpan out) override
    {
        if (!m_handle)
            return closed();
        return result_of(dsk_pread(m_handle, &m_geometry, out.data(), cylinder(track), head(side), number(sector)));
    }

    DriveResult format_track(int track, int side) override
    {
        if (!m_handle)
            return closed();
        return result_of(dsk_apform(m_handle, &m_geometry, cylinder(track), head(side), FORMAT_FILLER));
    }

    DriveResult write_sector(int track, int side, int sector, image::SectorView data) override
    {
        if (!m_handle)
            return closed();
        return result_of(dsk_pwrite(m_handle, &m_geometry, data.data(), cylinder(track), head(side), number(sector)));
    }

    DriveResult close() override
    {
        if (!m_handle)
            return {};
        return result_of(dsk_close(&m_handle));
    }

private:
    static dsk_pcyl_t cylinder(int track) { return static_cast<dsk_pcyl_t>(track); }
    static dsk_phead_t head(int side) { return static_cast<dsk_phead_t>(side); }
    static dsk_psect_t number(int sector) { return static_cast<dsk_psect_t>(sector); }
    static DriveResult closed() { return {DriveStatus::Failed, "the drive was closed"}; }

    DSK_PDRIVER m_handle = nullptr;
    DSK_GEOMETRY m_geometry{};
};

bool is_known_driver(const std::string& name)
{
    // libdsk's list ends with a null name; the bound only guards against a list without that end.
    constexpr int MAX_DRIVERS = 256;
    for (int index = 0; index < MAX_DRIVERS; ++index) {
        char* known = nullptr;
        dsk_type_enum(index, &known);
        if (!known)
            return false;
        if (name == known)
            return true;
    }
    return false;
}

std::string with_driver(const std::string& reason, const std::string& driver)
{
    return reason + " (libdsk driver " + driver + ")";
}

// Why the existing file `device` may not stand in for a drive under `driver`; "" when it may.
std::string stand_in_problem(const std::string& device, const struct stat& info, const std::string& driver, bool create)
{
    const bool raw = driver == "raw" || driver == "rawoo";
    const bool dsk = driver == "dsk" || driver == "edsk";
    if (!raw && !dsk)
        return {};
    if (!S_ISREG(info.st_mode))
        return "not a regular file";
    if (create && info.st_size == 0)
        return {};
    if (raw)
        return info.st_size == image::IMAGE_BYTES ? std::string() : image::size_reason(info.st_size);
    auto opened = image::open_dsk_file(device);
    if (const auto* failure = std::get_if<common::Error>(&opened))
        return failure->text;
    auto bytes = image::read_file_capped(device);
    if (const auto* failure = std::get_if<common::Error>(&bytes))
        return failure->text;
    return dsk_stand_in_problem(std::get<std::vector<std::uint8_t>>(bytes));
}

} // namespace

bool is_file_driver(const std::string& driver)
{
    return driver != FLOPPY_DRIVER;
}

std::string dsk_stand_in_problem(std::span<const std::uint8_t> bytes)
{
    namespace disc = image::dsk_disc;
    namespace track = image::dsk_track;
    if (bytes.size() < disc::SIZE)
        return "DSK file cut off inside its 256-byte header";
    const bool extended = bytes[0] == 'E';
    const std::size_t blocks =
        std::min<std::size_t>(std::size_t{bytes[disc::TRACKS]} * bytes[disc::SIDES], disc::SIZE - disc::TRACK_SIZES);
    std::size_t at = disc::SIZE;
    for (std::size_t block = 0; block < blocks && at + track::SIZE <= bytes.size(); ++block) {
        const std::size_t size = extended ? std::size_t{bytes[disc::TRACK_SIZES + block]} * 256
                                          : std::size_t{common::get_le16(bytes, disc::TRACK_SIZE)};
        if (size == 0)
            continue;
        const auto header = bytes.subspan(at, track::SIZE);
        const std::size_t sides = bytes[disc::SIDES];
        const std::string where =
            image::track_text(static_cast<int>(block / sides), static_cast<int>(block % sides)) + ": ";
        if (header[track::SECTOR_COUNT] > track::MAX_SECTORS)
            return where + std::to_string(header[track::SECTOR_COUNT]) +
                   " sectors listed, more than a track header holds";
        int code = header[track::SIZE_CODE];
        for (std::size_t i = 0; i < header[track::SECTOR_COUNT]; ++i)
            code =
                std::max<int>(code, header[track::SECTORS + i * track::SECTOR_RECORD + image::dsk_sector::SIZE_CODE]);
        if (code > MAX_SIZE_CODE)
            return where + "sector size code " + std::to_string(code) + ", beyond any floppy controller's";
        at += size;
    }
    return {};
}

DriveAddress floppy_address(char drive)
{
    const bool second = std::toupper(static_cast<unsigned char>(drive)) == 'B';
    return {second ? "/dev/fd1" : "/dev/fd0", FLOPPY_DRIVER};
}

OpenedDrive open_libdsk_drive(const DriveAddress& address, bool create)
{
    const std::string& device = address.device;
    if (!is_known_driver(address.driver))
        return {nullptr, "libdsk has no driver '" + address.driver + "'"};
    struct stat info
    {};
    const bool exists = ::stat(device.c_str(), &info) == 0;
    const bool is_floppy = address.driver == FLOPPY_DRIVER;
    if (!exists && (is_floppy || !create))
        return {nullptr, std::strerror(errno)};
    if (exists && is_floppy && !S_ISBLK(info.st_mode))
        return {nullptr, "not a floppy drive (no block device)"};
    if (exists) {
        if (const std::string problem = stand_in_problem(device, info, address.driver, create); !problem.empty())
            return {nullptr, with_driver(problem, address.driver)};
    }
    // An empty stand-in file is made anew as a missing one would be: libdsk's file drivers open only a file that
    // already holds a disc of their format.
    const bool fresh = !exists || (create && !is_floppy && S_ISREG(info.st_mode) && info.st_size == 0);
    DSK_PDRIVER handle = nullptr;
    const dsk_err_t error = fresh ? dsk_creat(&handle, device.c_str(), address.driver.c_str(), nullptr)
                                  : dsk_open(&handle, device.c_str(), address.driver.c_str(), nullptr);
    if (error != DSK_ERR_OK || !handle) {
        if (handle)
            dsk_close(&handle);
        return {nullptr, with_driver(dsk_strerror(error), address.driver)};
    }
    return {std::make_unique<LibdskDrive>(handle), {}};
}

} // namespace transfer
