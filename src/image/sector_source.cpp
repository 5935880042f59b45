#include "image/sector_source.h"

#include "image/directory.h"
#include "image/dsk_source.h"
#include "image/file_bytes.h"
#include "image/open_container.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace image {

RawImage::RawImage(std::unique_ptr<ByteSource> bytes, Layout layout) : m_bytes(std::move(bytes)), m_layout(layout)
{
    assert(m_layout != Layout::None);
    m_delivered.fill(NOT_READ);
}

std::int64_t RawImage::track_offset(int track_number) const
{
    return sector_offset(m_layout,
                         static_cast<std::uint8_t>((track_number / SIDES) | (track_number % SIDES ? SIDE_BIT : 0)), 0);
}

void RawImage::load(std::int64_t start, std::int64_t end)
{
    if (!m_cache)
        m_cache = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(IMAGE_BYTES));
    const std::span<std::uint8_t> span(m_cache.get() + start, static_cast<std::size_t>(end - start));
    const std::size_t got = m_bytes->read_at(static_cast<std::uint64_t>(start), span);
    std::fill(span.begin() + static_cast<std::ptrdiff_t>(got), span.end(), std::uint8_t{0});
    const std::int64_t delivered_end = start + static_cast<std::int64_t>(got);
    for (int number = 0; number < TRACKS; ++number) {
        const std::int64_t at = track_offset(number);
        if (at >= start && at + TRACK_BYTES <= end)
            m_delivered[static_cast<std::size_t>(number)] =
                static_cast<std::int32_t>(std::clamp<std::int64_t>(delivered_end - at, 0, TRACK_BYTES));
    }
}

const std::uint8_t* RawImage::cached(std::uint8_t track_byte, int sector_index, SectorStatus& status)
{
    // The directory's tracks of side 0 first, in one read: every reader starts there.
    if (!m_cache)
        load(0, sector_offset(m_layout, DIRECTORY_TRACKS - 1, 0) + TRACK_BYTES);
    const std::size_t number =
        static_cast<std::size_t>((track_byte & TRACK_MASK) * SIDES + (track_byte & SIDE_BIT ? 1 : 0));
    const std::int64_t track_start = sector_offset(m_layout, track_byte, 0);
    if (m_delivered[number] == NOT_READ)
        load(track_start, track_start + TRACK_BYTES);
    const std::int64_t at = sector_offset(m_layout, track_byte, sector_index);
    // Bytes the file held when it was opened but did not deliver: the file shrank, or a read failed.
    const std::int64_t lost_from = std::max(at, track_start + m_delivered[number]);
    const bool lost = lost_from < at + static_cast<std::int64_t>(SECTOR_SIZE) &&
                      static_cast<std::uint64_t>(lost_from) < m_bytes->size();
    status = lost ? SectorStatus::Unreadable : SectorStatus::Ok;
    return m_cache.get() + at;
}

SectorView RawImage::first_sector()
{
    if (const std::uint8_t* held = m_bytes->view_at(0, SECTOR_SIZE))
        return SectorView(held, SECTOR_SIZE);
    SectorStatus status{};
    return SectorView(cached(0, 0, status), SECTOR_SIZE);
}

SectorStatus RawImage::read_clamped(std::uint8_t track_byte, int sector_index, SectorSpan out)
{
    SectorStatus status = SectorStatus::Ok;
    const std::uint8_t* held =
        m_bytes->view_at(static_cast<std::uint64_t>(sector_offset(m_layout, track_byte, sector_index)), SECTOR_SIZE);
    if (held == nullptr)
        held = cached(track_byte, sector_index, status);
    std::copy_n(held, SECTOR_SIZE, out.begin());
    return status;
}

const std::uint8_t* RawImage::view_clamped(std::uint8_t track_byte, int sector_index)
{
    if (const std::uint8_t* held = m_bytes->view_at(
            static_cast<std::uint64_t>(sector_offset(m_layout, track_byte, sector_index)), SECTOR_SIZE))
        return held;
    SectorStatus status{};
    return cached(track_byte, sector_index, status);
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
    if (auto container = open_container(path))
        return std::move(*container);
    const Layout layout = layout_from_path(path);
    if (layout == Layout::None)
        return OpenFailure{"not a disc image (the name must end in .mgt, .dsk, .img, .sad, .gz or .zip)", true};
    auto bytes = std::make_unique<FileBytes>(path);
    if (!bytes->is_open()) {
        OpenFailure failure = bytes->failure();
        struct stat info
        {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            failure.size = info.st_size;
        return failure;
    }
    OpenImage image;
    image.layout = layout;
    image.raw_size = static_cast<std::int64_t>(bytes->size());
    image.scannable = image.raw_size == IMAGE_BYTES;
    auto raw = std::make_unique<RawImage>(std::move(bytes), layout);
    // An Extended DSK under a raw image's name is recognised by its signature. Reading the first sector reads the
    // directory too, so a listing of the file as it is now is at hand whatever happens to the file later.
    if (is_dsk(raw->first_sector().first(dsk_disc::SIGNATURE_BYTES)))
        return open_dsk_file(path);
    image.source = std::move(raw);
    return image;
}

std::string size_reason(std::int64_t size)
{
    return "size is " + std::to_string(size) + " bytes, not " + std::to_string(IMAGE_BYTES);
}

} // namespace image
