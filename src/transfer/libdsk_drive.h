// Floppy drives through libdsk: its Linux floppy driver on /dev/fd0 (drive A:) and /dev/fd1 (drive B:), or any
// other libdsk driver and device by name, such as the image-file drivers "raw" (cylinder by cylinder, like .mgt),
// "rawoo" (side after side, like .img), "dsk" and "edsk", which stand in for a drive in tests. Every access uses
// libdsk's "mgt800" geometry: 80 cylinders, 2 sides, sectors 1-10 of 512 bytes at double density.
#pragma once

#include "transfer/drive.h"

#include <cstdint>
#include <span>
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

// Whether the driver works on an image file rather than a drive (any driver but "floppy").
bool is_file_driver(const std::string& driver);

// Opens the device through the named libdsk driver. With `create`, a file driver makes a missing file (a new
// image, empty until formatted); a floppy device is never created. Fails for a missing device, an unknown
// driver, or a device the driver refuses, with the reason. The floppy driver takes only a block device. A file
// that stands in for a drive is checked first, since libdsk trusts what such a file says of itself: "raw" and
// "rawoo" take a file of 819,200 bytes (or an empty one with `create`), "dsk" and "edsk" a DSK container that
// image::open_dsk_file reads and that dsk_stand_in_problem passes.
OpenedDrive open_libdsk_drive(const DriveAddress& address, bool create = false);

// Why the bytes of a DSK container may not stand in for a drive under libdsk's dsk and edsk drivers, which
// stop the program on a track header that lists more sectors than it holds or gives a sector size code beyond
// any controller's; "" when they may.
std::string dsk_stand_in_problem(std::span<const std::uint8_t> bytes);

} // namespace transfer
