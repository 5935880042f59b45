// The name of a new file the window writes (a picture, an exported file, a snapshot, a new image): the save
// requester, then for a file that exists the question whether to replace it. An existing disc image is never
// replaced, whatever the user answers: the program changes no image.
#pragma once

#include "shell/interfaces.h"

#include <QString>

namespace shell {

// The path to write, or "" when the user cancelled, declined to replace a file, or named an existing disc image
// (then told so in a message box).
QString ask_new_file(Requester& requester, const QString& title, const QString& proposed_path, const QString& filters);

// A file name on the host for a disc name: blanks at the ends dropped, folder separators and control characters
// replaced by "_"; "file" for a name with nothing left.
QString host_file_name(const QString& disc_name);

} // namespace shell
