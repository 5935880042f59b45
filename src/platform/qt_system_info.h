// Facts about the host: floppy drives ("a:" is /dev/fd0, "b:" is /dev/fd1), file sizes, a millisecond clock, and
// the desktop's trash (Qt's own: the freedesktop.org trash on Unix, the Recycle Bin on Windows).
#pragma once

#include "shell/interfaces.h"

#include <QElapsedTimer>

namespace platform {

class QtSystemInfo : public shell::SystemInfo
{
public:
    QtSystemInfo();
    bool is_removable_drive(const QString& drive) override;
    shell::PathSize file_size(const QString& path) override;
    qint64 tick_count() override;
    bool has_trash() override;
    QString move_to_trash(const QString& path) override;

private:
    QElapsedTimer m_clock;
};

} // namespace platform
