#include "cli/collection.h"

#include "cli/commands.h"
#include "common/file_read.h"
#include "image/open_container.h"
#include "image/zip_archive.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace cli {
namespace {

// A file to read: an image, or an archive whose images are taken one by one, or what the walk could not take.
struct Source
{
    std::string shown;
    std::optional<image::OpenFailure> failure;
    bool walked = false; // found in a folder, not named
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
        DIR* folder = ::opendir(path.c_str());
        if (folder == nullptr) {
            m_sources.push_back({path, image::OpenFailure{common::error_text(errno)}, true});
            return;
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(folder);
        std::sort(names.begin(), names.end());
        const std::string prefix = path.ends_with('/') ? path : path + '/';
        for (const std::string& name : names)
            take(prefix + name);
    }

private:
    void take(const std::string& path)
    {
        struct stat info
        {};
        const bool is_image = image::kind_of_name(path) != nullptr;
        if (::stat(path.c_str(), &info) != 0) {
            // A dangling link or a link loop: worth a line only where an image was meant.
            if (is_image)
                m_sources.push_back({path, image::OpenFailure{common::error_text(errno)}, true});
            return;
        }
        if (S_ISDIR(info.st_mode))
            walk(path, info);
        else if (!is_image)
            return;
        else if (S_ISREG(info.st_mode))
            m_sources.push_back({path, std::nullopt, true});
        else
            m_sources.push_back({path, image::OpenFailure{std::string(common::NOT_A_REGULAR_FILE)}, true});
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
            sources.push_back({path, image::OpenFailure{"is a folder (-r walks into it)"}, false});
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

// The reports of one source: one per image it holds.
std::vector<ImageReport> read_source(const Source& source, const WalkOptions& options,
                                     const std::function<ImageReport(ImageAt&)>& report)
{
    std::vector<ImageReport> reports;
    auto one = [&](std::string shown, std::variant<image::OpenImage, image::OpenFailure> opened) {
        ImageAt at{std::move(shown), source.shown, std::move(opened)};
        reports.push_back(report(at));
    };
    if (source.failure) {
        one(source.shown, *source.failure);
        return reports;
    }
    if (options.archives && is_archive_name(source.shown) && image::regular_file_size(source.shown) >= 0) {
        auto opened = image::open_zip(source.shown);
        if (auto* failure = std::get_if<image::OpenFailure>(&opened)) {
            one(source.shown, std::move(*failure));
            return reports;
        }
        auto& archive = std::get<image::ZipArchive>(opened);
        if (!archive.images().empty()) {
            for (const image::ZipEntry& entry : archive.images())
                one(source.shown + '/' + entry.name, image::open_archive_entry(archive, entry));
            return reports;
        }
        // An archive of no image met in a folder is no image; one named is refused as before.
        if (source.walked)
            return reports;
    }
    one(source.shown, image::open_one_image(source.shown));
    return reports;
}

std::vector<ImageReport> read_source_safely(const Source& source, const WalkOptions& options,
                                            const std::function<ImageReport(ImageAt&)>& report)
{
    try {
        return read_source(source, options, report);
    } catch (const std::exception& error) {
        std::vector<ImageReport> reports;
        reports.push_back(unreadable_report(source.shown, error.what()));
        return reports;
    }
}

} // namespace

ImageReport unreadable_report(const std::string& shown, const std::string& reason)
{
    ImageReport r;
    std::ostringstream err;
    report(err, shown, reason);
    r.err = err.str();
    r.code = EXIT_USAGE;
    r.unreadable.push_back({{"image", shown}, {"reason", reason}});
    return r;
}

CollectionResult for_each_image(const std::vector<std::string>& paths, const WalkOptions& options,
                                const std::function<ImageReport(ImageAt&)>& report, std::ostream& out,
                                std::ostream& err)
{
    const std::vector<Source> sources = sources_of(paths, options);
    CollectionResult result;
    auto take = [&](std::vector<ImageReport>& reports) {
        for (ImageReport& r : reports) {
            out << r.out;
            err << r.err;
            result.code = std::max(result.code, r.code);
            for (Json& item : r.items)
                result.items.push_back(std::move(item));
            for (Json& item : r.unreadable)
                result.unreadable.push_back(std::move(item));
        }
    };

    // This thread and one more take the sources in turn; this one also hands the reports on in order, whenever the
    // next ones are done, so that it waits (and is woken) only for what the other thread still holds at the end.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (sources.size() < 2 || cores < 2) {
        for (const Source& source : sources) {
            auto reports = read_source_safely(source, options, report);
            take(reports);
        }
        return result;
    }
    std::vector<std::vector<ImageReport>> done(sources.size());
    std::vector<char> ready(sources.size(), 0);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};
    auto read_next = [&]() {
        const std::size_t at = next++;
        if (at >= sources.size())
            return false;
        auto reports = read_source_safely(sources[at], options, report);
        const std::lock_guard lock(mutex);
        done[at] = std::move(reports);
        ready[at] = 1;
        return true;
    };
    std::jthread other([&] {
        while (read_next())
            finished.notify_one();
    });
    std::size_t shown = 0;
    // Hands on the reports that are done, in order; with `wait`, waits for each until all are.
    auto hand_on = [&](bool wait) {
        while (shown < sources.size()) {
            std::vector<ImageReport> reports;
            {
                std::unique_lock lock(mutex);
                if (wait)
                    finished.wait(lock, [&] { return ready[shown] != 0; });
                else if (ready[shown] == 0)
                    return;
                reports = std::move(done[shown]);
            }
            take(reports);
            ++shown;
        }
    };
    while (read_next())
        hand_on(false);
    hand_on(true);
    return result;
}

} // namespace cli
