// The edits of a session on the discs it lists: where an edit starts from, and the discs before and after each
// edit kept so that it can be undone and done again. An undo writes the disc before an edit only while the file
// still holds the disc after it (files::save_disc), a redo the other way round.
#pragma once

#include "files/disc_edit.h"
#include "files/disc_save.h"
#include "session/listed_disc.h"

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace session {

// Why the listed disc is no edit's start: its file is gone or holds another disc now, or its sectors cannot all be
// read (`reason`).
struct NotEditable
{
    ListedFile file = ListedFile::Same;
    std::string reason;
};

// The listed disc as an edit starts from it, while its file is still there and (edited in place) holds it.
std::variant<files::DiscValue, NotEditable> edit_start(const ListedDisc& listed);

// The same disc with its sectors in `layout` (a container's disc saved as .img); nothing when it cannot be read.
std::optional<files::DiscValue> in_layout(const files::DiscValue& disc, image::Layout layout);

struct EditStep
{
    std::string path; // the image written
    files::DiscValue before;
    files::DiscValue after;
    std::string what;               // what the edit did, in the front end's words
    std::vector<int> changed_slots; // selected again when undone or done again
};

class EditHistory
{
public:
    // Each step keeps two discs of 800 KiB: the oldest go beyond this many.
    static constexpr std::size_t MAX_STEPS = 16;
    // Whether a step's image is the one a command acts on.
    using OfImage = std::function<bool(const std::string& path)>;

    // An edit written: it can be undone, and the edits of its image undone before it can no longer be done again.
    void record(EditStep step);
    // The last edit of the image that can be undone, or done again; nullptr for none.
    const EditStep* undoable(const OfImage& of_image) const;
    const EditStep* redoable(const OfImage& of_image) const;
    bool empty() const { return m_done.empty(); }
    // The image at `from` is at `to` now: its edits undo and redo there.
    void renamed(const std::string& from, const std::string& to);

    struct Outcome
    {
        files::SaveResult saved;
        EditStep step;
    };
    // Writes the disc before the last edit of the image back; nothing when there is none. A file changed since the
    // edit can no longer be given back what it held: the step goes.
    std::optional<Outcome> undo(const OfImage& of_image);
    // Writes the disc after the last edit undone of the image again; nothing when there is none.
    std::optional<Outcome> redo(const OfImage& of_image);

private:
    std::vector<EditStep> m_done;
    std::vector<EditStep> m_undone;
};

} // namespace session
