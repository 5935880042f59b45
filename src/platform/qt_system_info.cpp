#include "platform/qt_system_info.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace platform {

QtSystemInfo::QtSystemInfo()
{
    m_clock.start();
}

bool QtSystemInfo::is_removable_drive(const QString& drive)
{
    const QString lower = drive.toLower();
    QString device;
    if (lower == "a:")
        device = "/dev/fd0";
    else if (lower == "b:")
        device = "/dev/fd1";
    else
        return false;
    struct stat info
    {};
    return stat(QFile::encodeName(device).constData(), &info) == 0 && S_ISBLK(info.st_mode);
}

qint64 QtSystemInfo::file_size(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return -1;
    if (info.isDir())
        return -2;
    return info.size();
}

qint64 QtSystemInfo::tick_count()
{
    return m_clock.elapsed();
}

} // namespace platform
