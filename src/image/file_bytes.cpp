#include "image/file_bytes.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace image {

FileBytes::FileBytes(const std::string& path)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer. It changes nothing for the regular
    // files that are kept open.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        m_failure.reason = open_error_text(errno != 0 ? errno : ENOENT);
        return;
    }
    struct stat info
    {};
    if (::fstat(m_fd, &info) != 0) {
        m_failure.reason = open_error_text(errno);
    } else if (S_ISDIR(info.st_mode)) {
        m_failure.reason = open_error_text(EISDIR); // a folder opens on POSIX systems but is no image
    } else if (!S_ISREG(info.st_mode)) {
        m_failure = {std::string(NOT_A_REGULAR_FILE), true};
    } else {
        m_size = static_cast<std::uint64_t>(info.st_size);
        return;
    }
    ::close(m_fd);
    m_fd = -1;
}

FileBytes::~FileBytes()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t FileBytes::read_at(std::uint64_t offset, std::span<std::uint8_t> out)
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

std::string open_error_text(int error)
{
    return std::strerror(error);
}

} // namespace image
