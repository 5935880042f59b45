#include "image/sector_source.h"

#include "image/file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace image {

RawImage::RawImage(std::unique_ptr<ByteSource> bytes, Layout layout) : m_bytes(std::move(bytes)), m_layout(layout)
{
    assert(m_layout != Layout::None);
}

SectorStatus RawImage::read_clamped(std::uint8_t track_byte, int sector_index, SectorSpan out)
{
    const auto offset = static_cast<std::uint64_t>(sector_offset(m_layout, track_byte, sector_index));
    const std::size_t got = m_bytes->read_at(offset, out);
    // A short file must not leave the bytes of an earlier read behind.
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), std::uint8_t{0});
    return SectorStatus::Ok;
}

const std::uint8_t* RawImage::view_clamped(std::uint8_t track_byte, int sector_index)
{
    return m_bytes->view_at(static_cast<std::uint64_t>(sector_offset(m_layout, track_byte, sector_index)), SECTOR_SIZE);
}

const std::uint8_t* MemoryBytes::view_at(std::uint64_t offset, std::size_t size)
{
    return offset <= m_bytes.size() && size <= m_bytes.size() - offset ? m_bytes.data() + offset : nullptr;
}

std::size_t MemoryBytes::read_at(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset >= m_bytes.size())
        return 0;
    const std::size_t got = std::min(out.size(), m_bytes.size() - static_cast<std::size_t>(offset));
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), got, out.begin());
    return got;
}

std::variant<OpenImage, OpenFailure> open_image(const std::string& path)
{
    const Layout layout = layout_from_path(path);
    if (layout == Layout::None)
        return OpenFailure{"not a disc image (the name must end in .mgt, .dsk or .img)", true};
    auto bytes = std::make_unique<FileBytes>(path);
    if (!bytes->is_open()) {
        OpenFailure failure{open_error_text(bytes->open_error()), false};
        struct stat info
        {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            failure.size = info.st_size;
        return failure;
    }
    OpenImage image;
    image.layout = layout;
    image.raw_size = bytes->size();
    image.scannable = image.raw_size == IMAGE_BYTES;
    image.source = std::make_unique<RawImage>(std::move(bytes), layout);
    return image;
}

std::string size_reason(std::int64_t size)
{
    return "size is " + std::to_string(size) + " bytes, not " + std::to_string(IMAGE_BYTES);
}

} // namespace image
