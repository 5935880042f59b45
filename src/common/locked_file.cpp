#include "common/locked_file.h"

#include "common/file_read.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {
namespace {

constexpr auto LOCK_POLL = std::chrono::milliseconds(2);
// A path that names another file after every lock is being replaced faster than it can be locked.
constexpr int MAX_ATTEMPTS = 1000;

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// errno of a file system that keeps no locks: the file is then used without one.
bool locks_unsupported(int error)
{
    return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// Locks `fd`, waiting until `deadline`; 0 when locked (or when the file system keeps no locks), else errno.
int lock(int fd, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        const int error = errno;
        if (locks_unsupported(error))
            return 0;
        if (error != EWOULDBLOCK && error != EINTR)
            return error;
        if (std::chrono::steady_clock::now() >= deadline)
            return EWOULDBLOCK;
        std::this_thread::sleep_for(LOCK_POLL);
    }
}

} // namespace

LockedFile::LockedFile(std::string path, std::chrono::milliseconds patience) : m_path(std::move(path))
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
        // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            m_failure = error_text(errno);
            return;
        }
        struct stat held
        {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            m_failure = S_ISDIR(held.st_mode) ? error_text(EISDIR) : std::string(NOT_A_REGULAR_FILE);
            ::close(fd);
            return;
        }
        if (const int error = lock(fd, deadline); error != 0) {
            m_failure = error == EWOULDBLOCK ? "another edit holds the file's lock" : error_text(error);
            ::close(fd);
            return;
        }
        struct stat named
        {};
        if (::fstat(fd, &held) == 0 && ::stat(m_path.c_str(), &named) == 0 && same_file(held, named)) {
            m_fd = fd;
            return;
        }
        ::close(fd);
    }
    m_failure = "the file was replaced again and again while it was locked";
}

LockedFile::~LockedFile()
{
    if (m_fd >= 0)
        ::close(m_fd); // lets go of the lock
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_failure(std::move(other.m_failure)), m_fd(std::exchange(other.m_fd, -1))
{}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_path = std::move(other.m_path);
        m_failure = std::move(other.m_failure);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

std::uint64_t LockedFile::links() const
{
    struct stat info
    {};
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_nlink) : 0;
}

bool LockedFile::owner_may_write() const
{
    struct stat info
    {};
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 && (info.st_mode & S_IWUSR) != 0;
}

std::optional<std::vector<std::uint8_t>> LockedFile::read(std::size_t cap) const
{
    if (m_fd < 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(cap);
    std::size_t got = 0;
    while (got < cap) {
        const ssize_t n = ::pread(m_fd, bytes.data() + got, cap - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

bool LockedFile::holds(std::span<const std::uint8_t> bytes) const
{
    // One byte more than expected tells a longer file.
    const auto now = read(bytes.size() + 1);
    return now && std::equal(now->begin(), now->end(), bytes.begin(), bytes.end());
}

} // namespace common
