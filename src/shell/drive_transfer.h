// The drive buttons' work when SAMDisk is not set up: a floppy read into an image file, or an image written to a
// floppy, through the drives the platform offers (Services::drives), with the progress window in place of
// SAMDisk's console. Each returns the lines it has for the message pane.
#pragma once

#include "shell/interfaces.h"

#include <QStringList>

class QWidget;

namespace shell {

// Reads the disc in `drive` ('A' or 'B') into the file `target`, whose extension decides the layout (.mgt's when
// it names none). An existing file is only replaced when the user agrees, and an image with unreadable sectors
// only kept when the user says so; a cancelled or failed read leaves no file.
QStringList read_drive_to_image(Services services, char drive, const QString& target, QWidget* owner);

// Writes the image file at `image_path` to the disc in `drive`, track by track with a read-back check. The image
// file is only read.
QStringList write_image_to_drive(Services services, const QString& image_path, char drive, QWidget* owner);

} // namespace shell
