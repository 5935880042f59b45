#include "platform/qt_system_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

shell::PathSize QtSystemInfo::file_size(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {shell::PathSize::Kind::Missing, 0};
    if (info.isDir())
        return {shell::PathSize::Kind::Folder, 0};
    return {shell::PathSize::Kind::File, info.size()};
}

qint64 QtSystemInfo::tick_count()
{
    return m_clock.elapsed();
}

bool QtSystemInfo::has_trash()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    // The freedesktop.org trash lives in the user's data folder, which Qt creates when it is missing.
    return !QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).isEmpty();
#endif
}

QString QtSystemInfo::move_to_trash(const QString& path)
{
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    // Qt 6.4 does not make a missing home trash, and then files the file under "files" and "info" in the working
    // folder; the desktop's trash layout lets a program make it.
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
    if (!QDir().mkpath(trash + "/files") || !QDir().mkpath(trash + "/info"))
        return "cannot make the trash folder " + trash;
#endif
    QFile file(path);
    if (file.moveToTrash())
        return {};
    return file.errorString().isEmpty() ? QString("the trash did not take it") : file.errorString();
}

} // namespace platform
