#include "transfer/libdsk_drive.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include <libdsk.h>
#include <sys/stat.h>

namespace transfer {
namespace {

constexpr unsigned char FORMAT_FILLER = 0xE5; // what a freshly formatted sector holds, as the +D writes it

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

} // namespace

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
    DSK_PDRIVER handle = nullptr;
    const dsk_err_t error = exists ? dsk_open(&handle, device.c_str(), address.driver.c_str(), nullptr)
                                   : dsk_creat(&handle, device.c_str(), address.driver.c_str(), nullptr);
    if (error != DSK_ERR_OK || !handle) {
        if (handle)
            dsk_close(&handle);
        return {nullptr, std::string(dsk_strerror(error)) + " (libdsk driver " + address.driver + ")"};
    }
    return {std::make_unique<LibdskDrive>(handle), {}};
}

} // namespace transfer
