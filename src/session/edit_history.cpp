#include "session/edit_history.h"

#include <algorithm>

namespace session {
namespace {

template <class Steps> auto last_of(Steps& steps, const EditHistory::OfImage& of_image)
{
    const auto found =
        std::find_if(steps.rbegin(), steps.rend(), [&](const EditStep& step) { return of_image(step.path); });
    return found == steps.rend() ? steps.end() : std::prev(found.base());
}

// Writes `to` over the step's image while it holds `from`, then moves the step from `steps` onto `other`; a
// step whose image holds neither any more goes.
std::optional<EditHistory::Outcome> write_step(std::vector<EditStep>& steps, std::vector<EditStep>& other,
                                               const EditHistory::OfImage& of_image, bool back)
{
    const auto step = last_of(steps, of_image);
    if (step == steps.end())
        return std::nullopt;
    EditHistory::Outcome outcome{
        files::save_disc(step->path, back ? step->after : step->before, back ? step->before : step->after), *step};
    if (outcome.saved.written) {
        other.push_back(std::move(*step));
        if (other.size() > EditHistory::MAX_STEPS)
            other.erase(other.begin());
    }
    if (outcome.saved.written || outcome.saved.problem == files::SaveProblem::Changed)
        steps.erase(step);
    return outcome;
}

} // namespace

std::variant<files::DiscValue, NotEditable> edit_start(const ListedDisc& listed)
{
    if (const ListedFile file = check_listed_file(listed); file != ListedFile::Same)
        return NotEditable{file, {}};
    auto read = listed_disc_value(listed);
    if (auto* reason = std::get_if<std::string>(&read))
        return NotEditable{ListedFile::Same, std::move(*reason)};
    return std::get<files::DiscValue>(std::move(read));
}

std::optional<files::DiscValue> in_layout(const files::DiscValue& disc, image::Layout layout)
{
    if (disc.layout == layout)
        return disc;
    image::RawImage raw(std::make_unique<image::MemoryBytes>(disc.bytes), disc.layout);
    auto read = files::read_disc_value(raw, layout);
    if (auto* value = std::get_if<files::DiscValue>(&read))
        return std::move(*value);
    return std::nullopt;
}

void EditHistory::record(EditStep step)
{
    // The edits undone of this image can no longer be done again; those of other images still can.
    std::erase_if(m_undone, [&](const EditStep& undone) { return undone.path == step.path; });
    m_done.push_back(std::move(step));
    if (m_done.size() > MAX_STEPS)
        m_done.erase(m_done.begin());
}

void EditHistory::renamed(const std::string& from, const std::string& to)
{
    for (std::vector<EditStep>* steps : {&m_done, &m_undone}) {
        for (EditStep& step : *steps) {
            if (step.path == from)
                step.path = to;
        }
    }
}

const EditStep* EditHistory::undoable(const OfImage& of_image) const
{
    const auto step = last_of(m_done, of_image);
    return step == m_done.end() ? nullptr : &*step;
}

const EditStep* EditHistory::redoable(const OfImage& of_image) const
{
    const auto step = last_of(m_undone, of_image);
    return step == m_undone.end() ? nullptr : &*step;
}

std::optional<EditHistory::Outcome> EditHistory::undo(const OfImage& of_image)
{
    return write_step(m_done, m_undone, of_image, true);
}

std::optional<EditHistory::Outcome> EditHistory::redo(const OfImage& of_image)
{
    return write_step(m_undone, m_done, of_image, false);
}

} // namespace session
