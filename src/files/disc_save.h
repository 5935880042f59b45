// Writing an edited disc over its plain image file, so that no change is lost. Every editor of Kestrel (each
// kestrel-cli edit, each edit and undo of the window) holds the image's lock (common/locked_file.h) while it
// compares and replaces the file, so edits of one image run one after another, and each one is written only
// while the file still holds the disc it was made from; an edit made from an older disc is refused ("changed on
// disc since it was read"), never written over a newer one.
//
// Under the lock: the image is refused when its owner may not write it, and (unless asked to go on) when it has
// more than one name, since a new file renamed over one name leaves the others with the old disc. The file is
// compared with the disc the edit started from; the edited disc is written whole into a temporary file beside
// it, with the image's owner, group and mode, and flushed; the file is compared once more, the last thing before
// the rename; and after the rename the old file is read again through the lock. A program that takes no lock and
// writes the image before that last compare gets the edit refused; one that writes the old file between the last
// compare and the read after the rename is reported, its change lost; one that keeps the image open and writes it
// after that writes a file that is no longer the image, unseen.
#pragma once

#include "common/locked_file.h"
#include "files/disc_edit.h"

#include <functional>
#include <string>
#include <variant>

namespace files {

// The image locked for an edit, its link followed (a symlink stays one; the file it names is replaced), or why it
// cannot be locked ("cannot read GAME.mgt: No such file or directory").
std::variant<common::LockedFile, std::string> lock_image(const std::string& path);

enum class SaveProblem
{
    None,
    ReadOnly,       // the owner may not write the image; nothing written
    HardLinks,      // the image has other names; nothing written
    Changed,        // the image no longer holds the disc the edit started from; nothing written
    Failed,         // the temporary file could not be made, written or renamed; nothing written
    OtherWriteLost, // written, but another program wrote the old file meanwhile: its change is gone
};

struct SaveOptions
{
    bool split_links = false; // write an image of several names all the same (the other names keep the old disc)
    // Called once the temporary file is whole and flushed, just before the last compare (tests change the file
    // there).
    std::function<void()> before_last_compare;
};

struct SaveResult
{
    bool written = false;
    SaveProblem problem = SaveProblem::None;
    // Why nothing was written ("GAME.mgt changed on disc since it was read; nothing written"); or, written, a note
    // to show ("the other name of GAME.mgt keeps the old disc"), or "" for none.
    std::string text;
};

// Writes `after` over the image `path` that `lock` holds, only while it holds exactly `before`.
SaveResult save_disc(const common::LockedFile& lock, const std::string& path, const DiscValue& before,
                     const DiscValue& after, const SaveOptions& options = {});

// The same, locking the image first.
SaveResult save_disc(const std::string& path, const DiscValue& before, const DiscValue& after,
                     const SaveOptions& options = {});

} // namespace files
