#include "files/disc_save.h"

#include "common/atomic_file.h"
#include "common/number_text.h"

#include <filesystem>
#include <system_error>

namespace files {
namespace {

SaveResult refused(SaveProblem problem, std::string text)
{
    return {false, problem, std::move(text) + "; nothing written"};
}

std::string other_names(std::uint64_t links)
{
    return links == 2 ? std::string("the other name") : "the other " + common::grouped(links - 1) + " names";
}

} // namespace

std::variant<common::LockedFile, std::string> lock_image(const std::string& path)
{
    std::error_code error;
    std::string target = path;
    if (std::filesystem::is_symlink(path, error)) {
        const auto real = std::filesystem::canonical(path, error);
        if (error)
            return "cannot follow the link " + path + ": " + error.message() + "; nothing written";
        target = real.string();
    }
    common::LockedFile lock(target);
    if (!lock.is_locked())
        return "cannot read " + path + ": " + lock.failure() + "; nothing written";
    return lock;
}

SaveResult save_disc(const common::LockedFile& lock, const std::string& path, const DiscValue& before,
                     const DiscValue& after, const SaveOptions& options)
{
    if (!lock.owner_may_write())
        return refused(SaveProblem::ReadOnly, path + " is read-only");
    const std::uint64_t links = lock.links();
    if (links > 1 && !options.split_links)
        return refused(SaveProblem::HardLinks, path + " has " + common::grouped(links) +
                                                   " names (hard links): written in place, it would " +
                                                   "get a new file and " + other_names(links) + " keep the old disc");
    const std::string changed = path + " changed on disc since it was read";
    if (!lock.holds(before.bytes))
        return refused(SaveProblem::Changed, changed);
    common::AtomicFile file(lock.path());
    file.write(after.bytes);
    if (!file.flush())
        return refused(SaveProblem::Failed, "cannot write " + path + ": " + file.error_text());
    if (options.before_last_compare)
        options.before_last_compare();
    if (!lock.holds(before.bytes))
        return refused(SaveProblem::Changed, changed);
    if (!file.commit())
        return refused(SaveProblem::Failed, "cannot write " + path + ": " + file.error_text());
    // The lock still holds the old file: a write there since the last compare is lost with it.
    if (!lock.holds(before.bytes))
        return {true, SaveProblem::OtherWriteLost,
                "another program wrote to " + path + " while the edit replaced it; the edit is in " + path +
                    ", that program's change is not"};
    if (links > 1)
        return {true, SaveProblem::None,
                other_names(links) + " of " + path + " keep" + (links == 2 ? "s" : "") + " the old disc"};
    return {true, SaveProblem::None, {}};
}

SaveResult save_disc(const std::string& path, const DiscValue& before, const DiscValue& after,
                     const SaveOptions& options)
{
    auto locked = lock_image(path);
    if (const auto* why = std::get_if<std::string>(&locked))
        return {false, SaveProblem::Failed, *why};
    return save_disc(std::get<common::LockedFile>(locked), path, before, after, options);
}

} // namespace files
