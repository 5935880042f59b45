#include "image/file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace image {

FileBytes::FileBytes(const std::string& path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno != 0 ? errno : ENOENT;
        return;
    }
    struct stat info
    {};
    if (::fstat(m_fd, &info) != 0) {
        m_error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        m_error = EISDIR; // a folder opens on POSIX systems but is no image
    }
    if (m_error != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_size = info.st_size;
    if (!S_ISREG(info.st_mode) || m_size <= 0)
        return;
    m_mapped = static_cast<std::size_t>(std::min<std::int64_t>(m_size, IMAGE_BYTES));
    void* map = ::mmap(nullptr, m_mapped, PROT_READ, MAP_PRIVATE, m_fd, 0);
    if (map == MAP_FAILED) {
        m_mapped = 0;
        return;
    }
    m_map = static_cast<const std::uint8_t*>(map);
}

FileBytes::~FileBytes()
{
    if (m_map)
        ::munmap(const_cast<std::uint8_t*>(m_map), m_mapped);
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t FileBytes::read_at(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (m_map) {
        if (offset >= m_mapped)
            return 0;
        const std::size_t got = std::min(out.size(), m_mapped - static_cast<std::size_t>(offset));
        std::memcpy(out.data(), m_map + offset, got);
        return got;
    }
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

const std::uint8_t* FileBytes::view_at(std::uint64_t offset, std::size_t size)
{
    return m_map && offset <= m_mapped && size <= m_mapped - offset ? m_map + offset : nullptr;
}

std::string open_error_text(int error)
{
    return std::strerror(error);
}

} // namespace image
