#include "platform/libdsk_drive_access.h"

#include "transfer/libdsk_drive.h"

namespace platform {

transfer::OpenedDrive LibdskDriveAccess::open_drive(char drive)
{
    return transfer::open_libdsk_drive(transfer::floppy_address(drive));
}

} // namespace platform
