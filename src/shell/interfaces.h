// What the shell asks of the platform: requesters and message boxes, starting programs, a few facts about the
// host (drives, file sizes, the clock, the trash) and floppy drives to read and write. The main window gets them by
// reference, so tests can script every answer without real dialogs, processes or drives.
#pragma once

#include "transfer/drive.h"

#include <QString>
#include <QStringList>

namespace shell {

enum class Icon
{
    Question,
    Exclamation,
    Information,
};

// The answer a question's Return key gives.
enum class Preset
{
    Yes,
    No,
};

class Requester
{
public:
    virtual ~Requester() = default;
    // Save-file requester. `filters` is a "|"-separated list of name and pattern pairs, the first one selected.
    // It asks no overwrite question and adds no extension. Returns the chosen path, or "" when cancelled.
    virtual QString ask_save_file(const QString& title, const QString& proposed_path, const QString& filters) = 0;
    // Open-file requester, as ask_save_file, but opening with the filter named `selected_filter` chosen ("": the
    // first). Returns the chosen path, or "" when cancelled.
    virtual QString ask_open_file(const QString& title, const QString& proposed_path, const QString& filters,
                                  const QString& selected_filter) = 0;
    // Open-file requester for one or more existing files, opening in the folder of `proposed_path`. Returns the
    // chosen paths, or none when cancelled.
    virtual QStringList ask_open_files(const QString& title, const QString& proposed_path, const QString& filters) = 0;
    // Message box with Yes and No; true only for Yes. Return takes `preset`: No for a question whose Yes cannot
    // be taken back by a key press alone.
    virtual bool ask_yes_no(const QString& title, const QString& text, Icon icon, Preset preset = Preset::Yes) = 0;
    // Message box with an OK button.
    virtual void show_message(const QString& title, const QString& text, Icon icon) = 0;
    // One-line input requester with OK and Cancel, opening on the initial text (a file name) with its part before
    // the last "." selected; returns the text as typed, or "" when it was closed any other way than OK.
    virtual QString ask_text(const QString& title, const QString& prompt, const QString& initial) = 0;
    // A choice among `items` (an archive's images); returns the chosen item, or "" when cancelled.
    virtual QString ask_choice(const QString& title, const QString& prompt, const QStringList& items) = 0;
};

class ProcessRunner
{
public:
    virtual ~ProcessRunner() = default;
    // Starts `program` with the argument text (see command_line()); an empty working folder means the current
    // one. With `wait` it returns when the program has ended, the windows painting meanwhile but taking no
    // input. A program that cannot be started is handed to the desktop to open (web addresses). Returns false
    // when neither the program started nor the desktop took it (no web browser, for an address).
    virtual bool run_program(const QString& program, const QString& arguments, const QString& working_folder,
                             bool wait) = 0;
};

// What a path names, and the size of a file there.
struct PathSize
{
    enum class Kind
    {
        File,
        Missing,
        Folder,
    };
    Kind kind = Kind::Missing;
    qint64 bytes = 0; // of a file
};

class SystemInfo
{
public:
    virtual ~SystemInfo() = default;
    // Whether the drive ("a:" or "b:") is a removable drive.
    virtual bool is_removable_drive(const QString& drive) = 0;
    // What the path names: a file and its size in bytes, nothing, or a folder.
    virtual PathSize file_size(const QString& path) = 0;
    // Milliseconds on a clock that only moves forward.
    virtual qint64 tick_count() = 0;
    // Whether files deleted here can go to the desktop's trash, from where the user can get them back.
    virtual bool has_trash() = 0;
    // Moves a file to the trash; "" when it went there, otherwise why not.
    virtual QString move_to_trash(const QString& path) = 0;
};

// Floppy drives for the built-in transfer, which the drive buttons use when SAMDisk is not set up.
class DriveAccess
{
public:
    virtual ~DriveAccess() = default;
    // Whether this platform reaches floppy drives at all; whether drive A: or B: is there, SystemInfo says.
    virtual bool is_available() = 0;
    // Opens drive 'A' or 'B' for one transfer; no drive, and the reason, when it cannot be opened.
    virtual transfer::OpenedDrive open_drive(char drive) = 0;
};

// The drive access of a platform without the built-in transfer: the drive buttons then need SAMDisk.
class NoDriveAccess final : public DriveAccess
{
public:
    bool is_available() override { return false; }
    transfer::OpenedDrive open_drive(char) override { return {nullptr, "no floppy drives here"}; }
};

inline DriveAccess& no_drive_access()
{
    static NoDriveAccess none;
    return none;
}

// The platform services the main window uses.
struct Services
{
    Requester& requester;
    ProcessRunner& runner;
    SystemInfo& system;
    DriveAccess& drives = no_drive_access();
};

} // namespace shell
