#include "image/geometry.h"

#include "common/path_text.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

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
    errno = 0;
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file) {
        m_error = errno != 0 ? errno : ENOENT;
        return;
    }
    // A folder opens on POSIX systems but is no image.
    struct stat info
    {};
    if (fstat(fileno(m_file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(m_file);
        m_file = nullptr;
        m_error = EISDIR;
    }
}

ImageFile::~ImageFile()
{
    if (m_file)
        std::fclose(m_file);
}

void ImageFile::read_sector(std::uint8_t track_byte, int sector_index, std::span<std::uint8_t> dest)
{
    assert(dest.size() >= SECTOR_SIZE);
    if (m_layout == Layout::None || !m_file)
        return;
    ++m_reads;
    ++s_total_reads;
    std::size_t got = 0;
    if (fseeko(m_file, static_cast<off_t>(sector_offset(m_layout, track_byte, sector_index)), SEEK_SET) == 0)
        got = std::fread(dest.data(), 1, SECTOR_SIZE, m_file);
    // A short file or a read error must not leave the bytes of an earlier read behind.
    std::fill(dest.begin() + static_cast<std::ptrdiff_t>(got), dest.begin() + SECTOR_SIZE, std::uint8_t{0});
    std::clearerr(m_file);
}

std::string open_error_text(int error)
{
    return std::strerror(error);
}

} // namespace image
