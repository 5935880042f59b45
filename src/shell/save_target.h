// The name of a new file the window writes (a picture, an exported file, a snapshot, a new image, a tape): the
// save requester, a name typed without an extension given the requester's first one, then for a file that exists
// the question whether to replace it. An existing disc image is never replaced, whatever the user answers: the
// program changes no image. A name refused (a disc image, or one the caller's check turns down) is said in a
// message box and the requester opens again on it.
#pragma once

#include "shell/interfaces.h"

#include <QString>

#include <functional>

namespace shell {

// Why a chosen path cannot be taken ("" when it can).
using NameCheck = std::function<QString(const QString& path)>;

// `path` with the extension of the first pattern of `filters` ("TAP Files|*.tap" gives ".tap") when its file
// name has none; unchanged otherwise, and for a first pattern without one ("*").
QString with_default_extension(const QString& path, const QString& filters);

// The chosen path, or "" when the user cancelled. Asks again, after a message box with the reason, for an existing
// disc image or a name `check` refuses. Asks nothing about replacing other files.
QString ask_save_path(Requester& requester, const QString& title, const QString& proposed_path, const QString& filters,
                      const NameCheck& check = {});

// The path to write, or "" when the user cancelled or declined to replace an existing file: ask_save_path, then
// for an existing file the question whether to replace it.
QString ask_new_file(Requester& requester, const QString& title, const QString& proposed_path, const QString& filters,
                     const NameCheck& check = {});

// ask_new_file for a plain disc image (.mgt or .img): another name is refused with "NAME: " and `needs` before the
// plain images' extensions.
QString ask_new_plain_image(Requester& requester, const QString& title, const QString& proposed_path,
                            const QString& needs);

// A file name on the host for a disc name: blanks at the ends dropped, folder separators and control characters
// replaced by "_"; "file" for a name with nothing left.
QString host_file_name(const QString& disc_name);

} // namespace shell
