// The disc a front end lists, kept as it was read: where it came from, every one of its sectors and its
// catalogue. The commands on its rows (screens, tapes, listings, exports, snapshots) read the kept sectors, so that
// they act on the files the rows show even when the image file has changed or gone since; an edit starts from the
// kept disc, is written only while the file still holds it (disc_save.h), and a file that no longer holds it is
// listed again first.
#pragma once

#include "files/disc_edit.h"
#include "image/directory.h"
#include "image/sector_source.h"

#include <string>
#include <variant>

namespace files {

struct ListedDisc
{
    std::string path;       // the image as listed: its file, or ARCHIVE/NAME for an image inside an archive
    std::string file;       // the file it was read from: the image file, or the archive
    image::OpenImage image; // its source holds every sector as it was read
    image::Catalogue catalogue;
    // Edits rewrite `file` itself: a plain image (.mgt, .dsk, .img) of 819,200 bytes in a file of its own. Any
    // other disc (packed, in an archive, in a container) is never written; its edited disc is saved as a new image.
    bool in_place = false;

    bool empty() const { return path.empty(); }
};

// The disc of an opened image, every sector read now and its directory; `path` and `file` as in ListedDisc.
ListedDisc keep_listed(std::string path, std::string file, image::OpenImage image);

enum class ListedFile
{
    Same,    // the file is there (and, edited in place, holds the disc listed)
    Changed, // the file edited in place holds another disc
    Gone,    // no file by that name any more: moved or deleted
};
ListedFile check_listed_file(const ListedDisc& listed);

// The listed disc as an edit starts from it, in the file's layout when it is edited in place (a new image is laid
// out as .mgt); or why it cannot be edited (sectors missing).
std::variant<DiscValue, std::string> listed_disc_value(const ListedDisc& listed);

} // namespace files
