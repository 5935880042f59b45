// The drive buttons' work when SAMDisk is not set up: a floppy read into an image file, or an image written to a
// floppy, through the drives the platform offers (Services::drives), with the progress window in place of
// SAMDisk's console. Each returns the lines it has for the message pane.
#pragma once

#include "shell/interfaces.h"

#include "transfer/disc_transfer.h"

#include <QStringList>

#include <variant>

class QWidget;

namespace shell {

// Reads the disc in `drive` ('A' or 'B') into the file `target`, whose extension decides the layout (.mgt's when
// it names none). An existing file is only replaced when the user agrees, and an image with unreadable sectors
// only kept when the user says so; a cancelled or failed read leaves no file. The outcome is said in the words of
// kestrel-cli disc read (transfer/disc_flow.h), after "Drive A:" or the file's path.
QStringList read_drive_to_image(Services services, char drive, const QString& target, QWidget* owner);

// The image file at `image_path` (any image open_image opens) read whole into memory for a write, so that the
// file is not held while the disc is written; or why it cannot go onto a disc: it cannot be opened, has another
// size, or lacks sectors (a damaged container), named as kestrel-cli disc write names them.
std::variant<transfer::DiscCopy, QString> load_image_for_drive(const QString& image_path);

// Writes the disc to the disc in `drive`, track by track with a read-back check.
QStringList write_image_to_drive(Services services, const transfer::DiscCopy& disc, char drive, QWidget* owner);

} // namespace shell
