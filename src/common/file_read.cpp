#include "common/file_read.h"

#include "common/number_text.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {

std::string error_text(int error)
{
    return std::strerror(error);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer. It changes nothing for the regular
    // files that are kept open.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        m_failure = error_text(errno != 0 ? errno : ENOENT);
        // A socket, or a device without its driver, does not open at all: it is no regular file either.
        struct stat info
        {};
        if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
            m_failure = NOT_A_REGULAR_FILE;
            m_not_regular = true;
        }
        return;
    }
    struct stat info
    {};
    if (::fstat(m_fd, &info) != 0) {
        m_failure = error_text(errno);
    } else if (S_ISDIR(info.st_mode)) {
        m_failure = error_text(EISDIR); // a folder opens on POSIX systems but holds no bytes to read
    } else if (!S_ISREG(info.st_mode)) {
        m_failure = NOT_A_REGULAR_FILE;
        m_not_regular = true;
    } else {
        m_size = static_cast<std::uint64_t>(info.st_size);
        return;
    }
    ::close(m_fd);
    m_fd = -1;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t ReadOnlyFile::read_at(std::uint64_t offset, std::span<std::uint8_t> out)
{
    std::size_t got = 0;
    while (m_fd >= 0 && got < out.size()) {
        const ssize_t n = ::pread(m_fd, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

Result<std::vector<std::uint8_t>> read_whole_file(const std::string& path, std::size_t cap, std::string_view what)
{
    ReadOnlyFile file(path);
    if (!file.is_open())
        return Error{file.failure(), file.is_not_regular() ? ErrorKind::Refused : ErrorKind::Failed};
    if (file.size() > cap)
        return Error{"larger than " + size_text(cap) + ": too large for " + std::string(what), ErrorKind::Refused};
    // One byte more than the file holds shows a file that grew since it was opened.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()) + 1);
    bytes.resize(file.read_at(0, bytes));
    if (bytes.size() != file.size())
        return Error{std::string(CHANGED_WHILE_READ)};
    return bytes;
}

} // namespace common
