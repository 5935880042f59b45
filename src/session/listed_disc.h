// The disc a front end lists, kept as it was read: where it came from, every one of its sectors, its catalogue and
// its scan. The commands on its rows (screens, tapes, listings, exports, snapshots) read the kept sectors, so that
// they act on the files the rows show even when the image file has changed or gone since; an edit starts from the
// kept disc, is written only while the file still holds it (files/disc_save.h), and a file that no longer holds it
// is listed again first.
#pragma once

#include "files/disc_edit.h"
#include "image/directory.h"
#include "image/sector_source.h"
#include "inspect/scan.h"
#include "session/text.h"

#include <string>
#include <variant>
#include <vector>

namespace session {

struct ListedDisc
{
    std::string path;       // the image as listed: its file, or ARCHIVE/NAME for an image inside an archive
    std::string file;       // the file it was read from: the image file, or the archive
    image::OpenImage image; // its source holds every sector as it was read; its notes and findings
    image::Catalogue catalogue;
    inspect::ScanResult scan; // of a scannable image; none for another
    // Edits rewrite `file` itself: a plain image (.mgt, .dsk, .img) of 819,200 bytes in a file of its own. Any
    // other disc (packed, in an archive, in a container) is never written; its edited disc is saved as a new image.
    bool in_place = false;

    bool empty() const { return path.empty(); }
};

// The disc of an opened image, every sector read now, its directory and (when scannable) its scan; `path` and
// `file` as in ListedDisc.
ListedDisc keep_listed(std::string path, std::string file, image::OpenImage image);

// What listing an image gives: the disc kept, the message pane's lines and the status line's texts.
struct Listing
{
    ListedDisc listed;   // empty when the image could not be opened
    std::string failure; // why it could not be opened; "" when it was
    // The container's notes and damage, then the scan's lines; of an image that could not be opened but has the
    // size of one, the scan's first line.
    std::vector<Text> pane;
    Text status; // why the image was not checked, or why its directory does not look like one; or the failure
    // The disc's DOS and name beyond +D and SAMDOS, and a layout read from the content: for a status line that has
    // nothing else to say. Empty for a plain disc.
    Text dos;
};

// Lists `path` (a file, or ARCHIVE/NAME) as it opened.
Listing list_opened(const std::string& path, std::variant<image::OpenImage, common::Error> opened);

enum class ListedFile
{
    Same,    // the file is there (and, edited in place, holds the disc listed)
    Changed, // the file edited in place holds another disc
    Gone,    // no file by that name any more: moved or deleted
};
ListedFile check_listed_file(const ListedDisc& listed);

// The listed disc as an edit starts from it, in the file's layout when it is edited in place (a new image is laid
// out as .mgt); or why it cannot be edited (sectors missing).
std::variant<files::DiscValue, std::string> listed_disc_value(const ListedDisc& listed);

// The scan's lines for the message pane: the first names the image and the summary names it again, the findings'
// lines between them name the disc's files.
std::vector<Text> scan_pane_lines(const inspect::ScanResult& scan);

// Lines of disc text, each shown on one line.
std::vector<Text> shown_lines(const std::vector<std::string>& lines);

} // namespace session
