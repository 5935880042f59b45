// The floppy drives of kestrel-cli under node: libdsk reaches drives on Linux only, so every drive and every
// libdsk driver standing in for one is refused with the reason. The rest of `disc` (its options, its words) is
// the native program's.
#include "transfer/libdsk_drive.h"

#include <cctype>

namespace transfer {

bool is_file_driver(const std::string& driver)
{
    return driver != FLOPPY_DRIVER;
}

std::string dsk_stand_in_problem(std::span<const std::uint8_t>)
{
    return {};
}

DriveAddress floppy_address(char drive)
{
    const bool second = std::toupper(static_cast<unsigned char>(drive)) == 'B';
    return {second ? "/dev/fd1" : "/dev/fd0", FLOPPY_DRIVER};
}

OpenedDrive open_libdsk_drive(const DriveAddress&, bool)
{
    return {nullptr, "floppy drives are reached through libdsk by the Linux kestrel-cli, not under node"};
}

} // namespace transfer
