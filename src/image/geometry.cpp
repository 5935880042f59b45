#include "image/geometry.h"

#include "common/path_text.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace image {

Layout layout_from_path(std::string_view path)
{
    const std::string extension = common::lower_extension(path);
    if (extension == "mgt" || extension == "dsk")
        return Layout::Interleaved;
    if (extension == "img")
        return Layout::Sequential;
    return Layout::None;
}

std::int64_t sector_offset(Layout layout, std::uint8_t track_byte, int sector_index)
{
    assert(layout != Layout::None);
    const std::int64_t track = std::min<std::int64_t>(track_byte & TRACK_MASK, TRACKS_PER_SIDE - 1);
    const std::int64_t side = (track_byte & SIDE_BIT) ? 1 : 0;
    const std::int64_t sector = std::clamp(sector_index, 0, SECTORS_PER_TRACK - 1);
    const auto sector_bytes = static_cast<std::int64_t>(SECTOR_SIZE);
    if (layout == Layout::Interleaved)
        return track * CYLINDER_BYTES + side * TRACK_BYTES + sector * sector_bytes;
    return track * TRACK_BYTES + side * SIDE_BYTES + sector * sector_bytes;
}

ImageFile::ImageFile(const std::string& path, Layout layout) : m_layout(layout)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno != 0 ? errno : ENOENT;
        return;
    }
    // A folder opens on POSIX systems but is no image.
    struct stat info
    {};
    if (fstat(m_fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        m_error = EISDIR;
    }
}

ImageFile::~ImageFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

const ImageFile::Window& ImageFile::window_for(std::size_t chunk)
{
    ++m_use_clock;
    Window* oldest = &m_windows.front();
    for (Window& w : m_windows) {
        if (w.last_use != 0 && w.chunk == chunk) {
            w.last_use = m_use_clock;
            return w;
        }
        if (w.last_use < oldest->last_use)
            oldest = &w;
    }
    Window& w = *oldest;
    if (!w.bytes)
        w.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(CHUNK_BYTES);
    w.chunk = chunk;
    w.last_use = m_use_clock;
    w.delivered = 0;
    const auto start = static_cast<off_t>(chunk * CHUNK_BYTES);
    while (w.delivered < CHUNK_BYTES) {
        const ssize_t n = ::pread(m_fd, w.bytes.get() + w.delivered, CHUNK_BYTES - w.delivered,
                                  start + static_cast<off_t>(w.delivered));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        w.delivered += static_cast<std::size_t>(n);
    }
    return w;
}

void ImageFile::read_sector(std::uint8_t track_byte, int sector_index, std::span<std::uint8_t> dest)
{
    assert(dest.size() >= SECTOR_SIZE);
    if (m_layout == Layout::None || m_fd < 0)
        return;
    ++m_reads;
    ++s_total_reads;
    const auto offset = static_cast<std::size_t>(sector_offset(m_layout, track_byte, sector_index));
    const Window& w = window_for(offset / CHUNK_BYTES);
    const std::size_t within = offset % CHUNK_BYTES;
    const std::size_t got = within < w.delivered ? std::min(SECTOR_SIZE, w.delivered - within) : 0;
    std::copy_n(w.bytes.get() + within, got, dest.begin());
    // A short file or a read error must not leave the bytes of an earlier read behind.
    std::fill(dest.begin() + static_cast<std::ptrdiff_t>(got), dest.begin() + SECTOR_SIZE, std::uint8_t{0});
}

std::string open_error_text(int error)
{
    return std::strerror(error);
}

} // namespace image
