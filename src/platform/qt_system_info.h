// Facts about the host: floppy drives ("a:" is /dev/fd0, "b:" is /dev/fd1), file sizes, a millisecond clock.
#pragma once

#include "shell/interfaces.h"

#include <QElapsedTimer>

namespace platform {

class QtSystemInfo : public shell::SystemInfo
{
public:
    QtSystemInfo();
    bool is_removable_drive(const QString& drive) override;
    qint64 file_size(const QString& path) override;
    qint64 tick_count() override;

private:
    QElapsedTimer m_clock;
};

} // namespace platform
