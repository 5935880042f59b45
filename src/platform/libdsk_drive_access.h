// The floppy drives of a Linux host through libdsk's floppy driver: drive A: is /dev/fd0, drive B: /dev/fd1.
#pragma once

#include "shell/interfaces.h"

namespace platform {

class LibdskDriveAccess : public shell::DriveAccess
{
public:
    bool is_available() override { return true; }
    transfer::OpenedDrive open_drive(char drive) override;
};

} // namespace platform
