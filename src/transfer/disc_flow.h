// The decisions around a transfer that `kestrel-cli disc` and the window's drive buttons share, with the words for
// each outcome, so that both programs decide and say the same. A read: the disc is read (read_disc), then
// conclude_read settles whether the image is written. A write: the image file is taken whole into memory first
// (copy_image_file). The callers open the target file and the drive, show the progress, ask whether a damaged
// image is kept (an option, a question), write the image when told to, and put a subject in front of the words:
// the drive or the image, as about_drive() says.
#pragma once

#include "transfer/disc_transfer.h"

#include <cstddef>
#include <functional>
#include <string>
#include <variant>

namespace transfer {

// How a read into an image ended.
enum class ReadEnd
{
    Complete,       // every sector read: the image is written
    KeptDamaged,    // sectors unreadable, kept as zeros: the image is written
    RefusedDamaged, // sectors unreadable, the image not kept: nothing written
    Cancelled,      // nothing written
    Failed,         // the drive failed as a whole: nothing written
};

struct ImageRead
{
    ReadReport read; // what was read: the image (empty unless the read was done), the unreadable sectors
    ReadEnd end = ReadEnd::Complete;

    // Whether the image is to be written.
    bool write() const { return end == ReadEnd::Complete || end == ReadEnd::KeptDamaged; }
    // Whom the words are about: the drive for a cancelled or failed read, the image for one with damage.
    bool about_drive() const { return end == ReadEnd::Cancelled || end == ReadEnd::Failed; }
    // The end in words; empty for a complete read: "cancelled; no image written", "track 0 side 0: the drive is not
    // ready (...); no image written", "not written: 2 unreadable sectors", "written with 1 unreadable sector as
    // zeros".
    std::string words() const;
};

// The end of a finished read. `keep_damaged` is asked only when the read was done with unreadable sectors, given
// their number: whether the image is kept with zeros there.
ImageRead conclude_read(ReadReport read, const std::function<bool(std::size_t unreadable)>& keep_damaged);

// The image file at `path` (anything open_image opens) read whole into memory for a write, so that the file is not
// held while the disc is written; or why it cannot be: it cannot be opened, or is not of a disc's size. Sectors the
// image lacks are zeros in the copy and listed in it.
std::variant<DiscCopy, std::string> copy_image_file(const std::string& path);

// The refusal of an image that lacks sectors: "not written to the disc: the image lacks 1 sector: track 0 side 1
// sector 2".
std::string lacking_words(const DiscCopy& disc);

} // namespace transfer
