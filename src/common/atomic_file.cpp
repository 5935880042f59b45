#include "common/atomic_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {
namespace {

constexpr std::string_view TEMP_PREFIX = ".kestrel-";
constexpr std::string_view TEMP_SUFFIX = ".tmp";
constexpr int TEMP_RANDOM_LETTERS = 8;

// The names of the temporary files that exist, for the signal handler to remove. Each slot holds a name of its
// own allocation or nullptr; the handler only loads and unlinks, both safe in a signal handler. A file beyond
// the slots is written all the same, only not removed on a signal.
constexpr std::size_t CLEANUP_SLOTS = 32;
std::array<std::atomic<char*>, CLEANUP_SLOTS> g_temp_files{};
static_assert(std::atomic<char*>::is_always_lock_free);

extern "C" void remove_temp_files(int signal_number)
{
    for (auto& slot : g_temp_files) {
        if (const char* name = slot.load())
            ::unlink(name);
    }
    // The handler was installed to run once (SA_RESETHAND): raised again, the signal ends the program as before.
    std::raise(signal_number);
}

// Installed once, before the first temporary file: a signal the program (or the window's toolkit) handles itself
// keeps its handler.
void install_signal_handlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current
        {};
        if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            std::signal(SIGXFSZ, SIG_IGN);
        for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
            if (::sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
                continue;
            struct sigaction action
            {};
            action.sa_handler = remove_temp_files;
            action.sa_flags = static_cast<int>(SA_RESETHAND);
            sigemptyset(&action.sa_mask);
            ::sigaction(signal_number, &action, nullptr);
        }
    });
}

int register_temp(const std::string& name)
{
    char* copy = ::strdup(name.c_str());
    if (copy == nullptr)
        return -1;
    for (std::size_t i = 0; i < g_temp_files.size(); ++i) {
        char* expected = nullptr;
        if (g_temp_files[i].compare_exchange_strong(expected, copy))
            return static_cast<int>(i);
    }
    std::free(copy);
    return -1;
}

void unregister_temp(int slot)
{
    if (slot >= 0)
        std::free(g_temp_files[static_cast<std::size_t>(slot)].exchange(nullptr));
}

// A file the user made read-only stays as it is, although the folder would let us rename over it; so does one
// whose owner may not write it, even when root could.
int replace_refusal(const std::string& path, const struct stat& info)
{
    if (::access(path.c_str(), W_OK) != 0)
        return errno;
    return (info.st_mode & S_IWUSR) == 0 ? EACCES : 0;
}

// The replacement keeps the owner, group and mode of the file it replaces (the owner only where the system lets
// this user give it: root, or the owner itself); a new file keeps the mode its temporary file was created with,
// the one a plain create gives (0666 less the umask, applied by the kernel).
void give_owner_and_mode(int fd, const std::string& target)
{
    struct stat info
    {};
    if (::stat(target.c_str(), &info) != 0)
        return;
    // A failed chown leaves the file this user's, as any new file of the user's is.
    [[maybe_unused]] const int owned = ::fchown(fd, info.st_uid, info.st_gid);
    ::fchmod(fd, info.st_mode & 07777);
}

// The folder part of a path, ending in "/", or "" for a name in the working folder.
std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a new file in the folder of `path`, named TEMP_PREFIX + random letters or digits + TEMP_SUFFIX, with
// mode 0666 for the kernel to apply the umask to: the mode is found without setting the process's umask, which
// other threads share. Returns the descriptor (-1 with errno set) and leaves the name in `temp_path`.
int create_temp(const std::string& path, std::string& temp_path)
{
    constexpr std::string_view LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr int ATTEMPTS = 100;
    static std::atomic<std::uint64_t> counter{0};
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        std::uint64_t random = 0;
        if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            random = (static_cast<std::uint64_t>(::getpid()) << 32) ^ counter.fetch_add(1);
        temp_path = folder_of(path);
        temp_path += TEMP_PREFIX;
        for (int at = 0; at < TEMP_RANDOM_LETTERS; ++at, random /= LETTERS.size())
            temp_path += LETTERS[random % LETTERS.size()];
        temp_path += TEMP_SUFFIX;
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes the rename itself durable; a failure here does not undo a rename that has happened.
void sync_folder(const std::string& target)
{
    const std::string folder = folder_of(target);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicFile::AtomicFile(std::string path) : m_path(std::move(path))
{
    struct stat info
    {};
    if (m_path.empty()) {
        m_error = ENOENT;
        return;
    }
    // A rename would put a regular file in place of a folder, a device or a pipe: those are never replaced.
    if (::stat(m_path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            m_error = S_ISDIR(info.st_mode) ? EISDIR : EPERM;
            m_refusal = S_ISDIR(info.st_mode) ? Refusal::None : Refusal::NotRegular;
            return;
        }
        if (const int refusal = replace_refusal(m_path, info); refusal != 0) {
            m_error = refusal;
            // A file on a read-only file system is said so; one the user may not write is read-only.
            m_refusal = refusal == EROFS ? Refusal::None : Refusal::ReadOnly;
            return;
        }
    }
    install_signal_handlers();
    m_fd = create_temp(m_path, m_temp_path);
    if (m_fd < 0) {
        m_error = errno;
        m_temp_path.clear();
        if (m_error == EACCES || m_error == EPERM)
            m_refusal = Refusal::Folder;
        return;
    }
    m_cleanup_slot = register_temp(m_temp_path);
}

AtomicFile::~AtomicFile()
{
    discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_temp_path(std::exchange(other.m_temp_path, {})),
      m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error),
      m_cleanup_slot(std::exchange(other.m_cleanup_slot, -1)), m_flushed(other.m_flushed), m_refusal(other.m_refusal)
{}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_path = std::move(other.m_path);
        m_temp_path = std::exchange(other.m_temp_path, {});
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
        m_cleanup_slot = std::exchange(other.m_cleanup_slot, -1);
        m_flushed = other.m_flushed;
        m_refusal = other.m_refusal;
    }
    return *this;
}

void AtomicFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    // Unlinked before it leaves the handler's list, so that a signal in between finds it at most once more.
    if (!m_temp_path.empty())
        ::unlink(m_temp_path.c_str());
    unregister_temp(std::exchange(m_cleanup_slot, -1));
    m_fd = -1;
    m_temp_path.clear();
}

void AtomicFile::write_bytes(const void* data, std::size_t size)
{
    const auto* at = static_cast<const char*>(data);
    while (m_fd >= 0 && m_error == 0 && size > 0) {
        const ssize_t done = ::write(m_fd, at, size);
        if (done < 0) {
            if (errno != EINTR)
                m_error = errno;
            continue;
        }
        at += done;
        size -= static_cast<std::size_t>(done);
    }
}

void AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    write_bytes(bytes.data(), bytes.size());
}

void AtomicFile::write(std::string_view text)
{
    write_bytes(text.data(), text.size());
}

std::string AtomicFile::error_text() const
{
    const std::string reason = std::strerror(m_error != 0 ? m_error : EIO);
    switch (m_refusal) {
    case Refusal::NotRegular:
        return "not a regular file";
    case Refusal::ReadOnly:
        return "the file is read-only";
    case Refusal::Folder: {
        const std::string folder = folder_of(m_path);
        return "the folder " + (folder.empty() ? std::string(".") : folder) + " takes no new file (" + reason + ")";
    }
    case Refusal::None:
        break;
    }
    return reason;
}

bool AtomicFile::flush()
{
    if (m_flushed)
        return true;
    if (m_fd < 0 || m_error != 0) {
        discard();
        return false;
    }
    give_owner_and_mode(m_fd, m_path);
    if (::fsync(m_fd) != 0 || ::close(std::exchange(m_fd, -1)) != 0) {
        m_error = errno != 0 ? errno : EIO;
        discard();
        return false;
    }
    m_flushed = true;
    return true;
}

bool AtomicFile::commit()
{
    if (!flush())
        return false;
    if (m_temp_path.empty() || std::rename(m_temp_path.c_str(), m_path.c_str()) != 0) {
        m_error = errno != 0 ? errno : EIO;
        discard();
        return false;
    }
    m_temp_path.clear();
    unregister_temp(std::exchange(m_cleanup_slot, -1));
    sync_folder(m_path);
    return true;
}

std::optional<std::string> write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes)
{
    AtomicFile file(path);
    file.write(bytes);
    if (file.commit())
        return std::nullopt;
    return file.error_text();
}

} // namespace common
