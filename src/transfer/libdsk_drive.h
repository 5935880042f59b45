// Floppy drives through libdsk: its Linux floppy driver on /dev/fd0 (drive A:) and /dev/fd1 (drive B:), or any
// other libdsk driver and device by name, such as the image-file drivers "raw" (cylinder by cylinder, like .mgt),
// "rawoo" (side after side, like .img), "dsk" and "edsk", which stand in for a drive in tests. Every access uses
// libdsk's "mgt800" geometry: 80 cylinders, 2 sides, sectors 1-10 of 512 bytes at double density.
#pragma once

#include "transfer/drive.h"

#include <string>

namespace transfer {

inline constexpr const char* FLOPPY_DRIVER = "floppy";

struct DriveAddress
{
    std::string device;                 // "/dev/fd0", or the file a file driver works on
    std::string driver = FLOPPY_DRIVER; // a libdsk driver name
};

// The Linux floppy device of drive 'A' (/dev/fd0) or 'B' (/dev/fd1); the letter may be lower case.
DriveAddress floppy_address(char drive);

// Opens the device through the named libdsk driver. With `create`, a file driver makes a missing file (a new
// image, empty until formatted); a floppy device is never created. Fails for a missing device, an unknown
// driver, or a device the driver refuses, with the reason.
OpenedDrive open_libdsk_drive(const DriveAddress& address, bool create = false);

} // namespace transfer
