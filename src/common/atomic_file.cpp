#include "common/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {
namespace {

// A file the user made read-only stays as it is, although the folder would let us rename over it.
bool may_replace(const std::string& path)
{
    return ::access(path.c_str(), F_OK) != 0 || ::access(path.c_str(), W_OK) == 0;
}

// The replacement keeps the mode of the file it replaces; a new file keeps the mode its temporary file was created
// with, the one a plain create gives (0666 less the umask, applied by the kernel).
void give_mode(int fd, const std::string& target)
{
    struct stat info
    {};
    if (::stat(target.c_str(), &info) == 0)
        ::fchmod(fd, info.st_mode & 07777);
}

// Creates a new file named `path` + "." + six random letters or digits, as mkostemp names it, but with mode 0666
// for the kernel to apply the umask to: the mode is found without setting the process's umask, which other threads
// share. Returns the descriptor (-1 with errno set) and leaves the name in `temp_path`.
int create_temp(const std::string& path, std::string& temp_path)
{
    constexpr std::string_view LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr int ATTEMPTS = 100;
    static std::atomic<std::uint64_t> counter{0};
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        std::uint64_t random = 0;
        if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            random = (static_cast<std::uint64_t>(::getpid()) << 32) ^ counter.fetch_add(1);
        temp_path = path + ".";
        for (int at = 0; at < 6; ++at, random /= LETTERS.size())
            temp_path += LETTERS[random % LETTERS.size()];
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
    std::filesystem::path folder = std::filesystem::path(target).parent_path();
    if (folder.empty())
        folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    if (::stat(m_path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        m_error = S_ISDIR(info.st_mode) ? EISDIR : EPERM;
        m_not_regular = !S_ISDIR(info.st_mode);
        return;
    }
    if (!may_replace(m_path)) {
        m_error = EACCES;
        return;
    }
    m_fd = create_temp(m_path, m_temp_path);
    if (m_fd < 0) {
        m_error = errno;
        m_temp_path.clear();
    }
}

AtomicFile::~AtomicFile()
{
    discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_temp_path(std::exchange(other.m_temp_path, {})),
      m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error), m_not_regular(other.m_not_regular)
{}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_path = std::move(other.m_path);
        m_temp_path = std::exchange(other.m_temp_path, {});
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
        m_not_regular = other.m_not_regular;
    }
    return *this;
}

void AtomicFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temp_path.empty())
        ::unlink(m_temp_path.c_str());
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
    if (m_not_regular)
        return "not a regular file";
    return std::strerror(m_error != 0 ? m_error : EIO);
}

bool AtomicFile::commit()
{
    if (m_fd < 0 || m_error != 0) {
        discard();
        return false;
    }
    give_mode(m_fd, m_path);
    if (::fsync(m_fd) != 0 || ::close(std::exchange(m_fd, -1)) != 0 ||
        std::rename(m_temp_path.c_str(), m_path.c_str()) != 0) {
        m_error = errno != 0 ? errno : EIO;
        discard();
        return false;
    }
    m_temp_path.clear();
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
