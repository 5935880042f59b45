#include "cli/collection.h"

#include "cli/commands.h"
#include "cli/json_stream.h"
#include "common/file_read.h"
#include "common/path_text.h"
#include "image/open_container.h"
#include "image/zip_archive.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace cli {
namespace {

// A file to read: an image, or an archive whose images are taken one by one, or what the walk could not take.
struct Source
{
    std::string shown;
    std::optional<common::Error> failure;
    bool walked = false; // found in a folder, not named
};

// An entry of a folder: its name, and its stat (links followed) or the error that stat gave.
struct Entry
{
    std::string name;
    int error = 0;
    struct stat info
    {};
};

class Walker
{
public:
    explicit Walker(std::vector<Source>& sources) : m_sources(sources) {}

    // Walks the folder `path` (already known to be one, with `info` its stat).
    void walk(const std::string& path, const struct stat& info)
    {
        if (!m_seen.insert({info.st_dev, info.st_ino}).second)
            return; // entered already: a link back up the tree, or to a folder walked before
        const std::optional<std::vector<Entry>> entries = entries_of(path);
        const std::string prefix = path.ends_with('/') ? path : path + '/';
        for (const Entry& entry : entries.value_or(std::vector<Entry>{}))
            take(prefix + entry.name, entry);
    }

private:
    // The entries of a folder in the byte order of their names, or std::nullopt (reported) when it cannot be read.
    // Each is looked at from the open folder, so that it is known even where its whole path is too long to open;
    // the folder is closed before its subfolders are walked, so that depth costs no descriptors.
    std::optional<std::vector<Entry>> entries_of(const std::string& path)
    {
        DIR* folder = ::opendir(path.c_str());
        if (folder == nullptr) {
            m_sources.push_back({path, common::Error{common::error_text(errno)}, true});
            return std::nullopt;
        }
        std::vector<Entry> entries;
        while (const dirent* found = ::readdir(folder)) {
            Entry entry{found->d_name};
            if (entry.name == "." || entry.name == "..")
                continue;
            if (::fstatat(::dirfd(folder), entry.name.c_str(), &entry.info, 0) != 0)
                entry.error = errno;
            entries.push_back(std::move(entry));
        }
        ::closedir(folder);
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
        return entries;
    }

    void take(const std::string& path, const Entry& entry)
    {
        const bool is_image = image::kind_of_name(path) != nullptr;
        const bool is_folder = entry.error == 0 && S_ISDIR(entry.info.st_mode);
        if (!is_image && !is_folder)
            return; // another file, or a dangling link or link loop where no image was meant
        // Every reader opens its image by path: what lies deeper than a path can name is reported, not read.
        if (entry.error == 0 && path.size() >= PATH_MAX)
            entry_failure(path, common::error_text(ENAMETOOLONG) + (is_folder ? "; its images are not read" : ""));
        else if (entry.error != 0)
            entry_failure(path, common::error_text(entry.error));
        else if (is_folder)
            walk(path, entry.info);
        else if (S_ISREG(entry.info.st_mode))
            m_sources.push_back({path, std::nullopt, true});
        else
            entry_failure(path, std::string(common::NOT_A_REGULAR_FILE));
    }

    void entry_failure(const std::string& path, std::string reason)
    {
        m_sources.push_back({path, common::Error{std::move(reason)}, true});
    }

    std::vector<Source>& m_sources;
    std::set<std::pair<dev_t, ino_t>> m_seen;
};

std::vector<Source> sources_of(const std::vector<std::string>& paths, const WalkOptions& options)
{
    std::vector<Source> sources;
    Walker walker(sources);
    for (const std::string& path : paths) {
        struct stat info
        {};
        const bool folder = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (folder && options.recursive)
            walker.walk(path, info);
        else if (folder && image::kind_of_name(path) == nullptr)
            sources.push_back({path, common::Error{"is a folder (-r walks into it)"}, false});
        else
            sources.push_back({path, std::nullopt, false});
    }
    return sources;
}

bool is_archive_name(const std::string& path)
{
    const image::ImageKind* kind = image::kind_of_name(path);
    return kind != nullptr && kind->form == image::ImageForm::Archive;
}

using Opening = std::variant<image::OpenImage, common::Error>;
using ReportFunction = std::function<ImageReport(ImageAt&)>;
using Emit = std::function<void(ImageReport)>;

// Gives `report` each image of one source and `emit` each report, as they are made.
void read_source(const Source& source, const WalkOptions& options, const ReportFunction& report, const Emit& emit)
{
    // An image met rather than named that is a raw image of another size is no disc (a PC floppy, a file with more
    // after the disc): it is skipped, as check skips every such image.
    auto one = [&](std::string shown, Opening opened, bool met) {
        if (const auto* image = std::get_if<image::OpenImage>(&opened); image != nullptr && met && !image->scannable)
            opened = common::Error{image::size_reason(image->raw_size)};
        ImageAt at{shown, common::shown_path(shown), source.shown, std::move(opened)};
        emit(report(at));
    };
    if (source.failure) {
        one(source.shown, *source.failure, false);
        return;
    }
    if (options.archives && is_archive_name(source.shown) && image::regular_file_size(source.shown) >= 0) {
        auto opened = image::open_zip(source.shown);
        if (auto* failure = std::get_if<common::Error>(&opened)) {
            one(source.shown, std::move(*failure), false);
            return;
        }
        auto& archive = std::get<image::ZipArchive>(opened);
        for (const image::ZipEntry& entry : archive.images())
            one(source.shown + '/' + entry.name, image::open_archive_entry(archive, entry, options.directory_only),
                true);
        // An archive of no image met in a folder is no image; one named is refused as before.
        if (!archive.images().empty() || source.walked)
            return;
    }
    one(source.shown, image::open_one_image(source.shown), source.walked);
}

void read_source_safely(const Source& source, const WalkOptions& options, const ReportFunction& report,
                        const Emit& emit)
{
    try {
        read_source(source, options, report, emit);
    } catch (const std::exception& error) {
        emit(unreadable_report(source.shown, error.what()));
    }
}

// The reports of the sources, handed on in the order of the sources whichever thread made them, each as soon as
// those before it are. A thread may read only LOOKAHEAD sources beyond the first one not yet handed on, so that
// the reports kept waiting stay few however slow one source is.
class Handoff
{
public:
    static constexpr std::size_t LOOKAHEAD = 16;

    Handoff(std::size_t sources, std::function<void(ImageReport&)> sink) : m_slots(sources), m_sink(std::move(sink)) {}

    // A report of source `at`, and the end of that source's reports; from any thread.
    void put(std::size_t at, ImageReport done)
    {
        const std::lock_guard lock(m_mutex);
        m_slots[at].reports.push_back(std::move(done));
        if (m_waiting)
            m_more.notify_one();
    }
    void end(std::size_t at)
    {
        const std::lock_guard lock(m_mutex);
        m_slots[at].ended = true;
        if (m_waiting)
            m_more.notify_one();
    }

    // For the other thread, before it reads source `at`: waits while that is too far ahead of the output.
    void wait_for_room(std::size_t at)
    {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [&] { return at < m_shown + LOOKAHEAD; });
    }

    // For the calling thread only: hands on every report that may go, and waits for more while sources before
    // `until` are not all handed on.
    void hand_on(std::size_t until)
    {
        std::unique_lock lock(m_mutex);
        while (m_shown < m_slots.size()) {
            Slot& slot = m_slots[m_shown];
            if (!slot.reports.empty()) {
                std::vector<ImageReport> reports = std::exchange(slot.reports, {});
                lock.unlock();
                for (ImageReport& done : reports)
                    m_sink(done);
                lock.lock();
            } else if (slot.ended) {
                ++m_shown;
                m_room.notify_one();
            } else if (m_shown < until) {
                m_waiting = true;
                m_more.wait(lock);
                m_waiting = false;
            } else {
                return;
            }
        }
    }

private:
    struct Slot
    {
        std::vector<ImageReport> reports;
        bool ended = false;
    };

    std::vector<Slot> m_slots;
    std::function<void(ImageReport&)> m_sink;
    std::mutex m_mutex;
    std::condition_variable m_more; // a report or an end was put while the calling thread waits
    std::condition_variable m_room; // the output moved on
    std::size_t m_shown = 0;        // the first source not yet handed on whole
    bool m_waiting = false;
};

// This thread and one more take the sources in turn; this one also hands the reports on, whenever the next ones
// are done, so that it waits (and is woken) only for what the other thread still holds.
void read_in_order(const std::vector<Source>& sources, const WalkOptions& options, const ReportFunction& report,
                   const std::function<void(ImageReport&)>& sink)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (sources.size() < 2 || cores < 2) {
        for (const Source& source : sources) {
            read_source_safely(source, options, report, [&](ImageReport r) { sink(r); });
        }
        return;
    }
    Handoff handoff(sources.size(), sink);
    std::atomic<std::size_t> next{0};
    std::jthread other([&] {
        for (std::size_t at = next++; at < sources.size(); at = next++) {
            handoff.wait_for_room(at);
            read_source_safely(sources[at], options, report, [&](ImageReport r) { handoff.put(at, std::move(r)); });
            handoff.end(at);
        }
    });
    for (std::size_t at = next++; at < sources.size(); at = next++) {
        if (at >= Handoff::LOOKAHEAD)
            handoff.hand_on(at - Handoff::LOOKAHEAD + 1);
        read_source_safely(sources[at], options, report, [&](ImageReport r) {
            handoff.put(at, std::move(r));
            handoff.hand_on(0);
        });
        handoff.end(at);
        handoff.hand_on(0);
    }
    handoff.hand_on(sources.size());
}

} // namespace

Command image_walk_command(Command command)
{
    command.synopsis = "IMAGE... [-r] [--json]";
    command.options = {RECURSIVE, JSON};
    return command;
}

ImageReport unreadable_report(const std::string& shown, const std::string& reason)
{
    ImageReport r;
    std::ostringstream err;
    report(err, shown, reason);
    r.err = err.str();
    r.code = EXIT_USAGE;
    append_element(r.unreadable_text, element_text({{"image", shown}, {"reason", reason}}));
    return r;
}

CollectionResult for_each_image(const std::vector<std::string>& paths, const WalkOptions& options,
                                const std::function<ImageReport(ImageAt&)>& report, std::ostream& out,
                                std::ostream& err)
{
    const std::vector<Source> sources = sources_of(paths, options);
    std::optional<StreamedDocument> document;
    if (options.json_key != nullptr)
        document.emplace(out, options.json_key, "unreadable");
    CollectionResult result;
    read_in_order(sources, options, report, [&](ImageReport& done) {
        out << done.out;
        err << done.err;
        result.code = std::max(result.code, done.code);
        result.items += done.items;
        if (!document)
            return;
        if (!done.item_text.empty())
            document->add_first(done.item_text);
        if (!done.unreadable_text.empty())
            document->add_second(done.unreadable_text);
    });
    if (document)
        document->finish();
    return result;
}

} // namespace cli
