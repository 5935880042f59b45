#include "image/sector_source.h"

#include "image/directory.h"
#include "image/file_bytes.h"
#include "image/image_kinds.h"
#include "image/layout_sniff.h"
#include "image/open_container.h"

#include <algorithm>

#include <sys/stat.h>

namespace image {

RawImage::RawImage(std::unique_ptr<ByteSource> bytes, Layout layout)
    : m_bytes(std::move(bytes)), m_layout(layout), m_memory(m_bytes->data())
{
    assert(m_layout != Layout::None);
    m_delivered.fill(NOT_READ);
}

void RawImage::load(int first, int count)
{
    if (!m_cache)
        m_cache = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(IMAGE_BYTES));
    const std::int64_t start = first * TRACK_BYTES;
    const std::span<std::uint8_t> span(m_cache.get() + start, static_cast<std::size_t>(count * TRACK_BYTES));
    const auto got = static_cast<std::int64_t>(m_bytes->read_at(static_cast<std::uint64_t>(start), span));
    std::fill(span.begin() + got, span.end(), std::uint8_t{0});
    for (int at = 0; at < count; ++at)
        m_delivered[static_cast<std::size_t>(first + at)] =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(got - at * TRACK_BYTES, 0, TRACK_BYTES));
}

const std::uint8_t* RawImage::sector_at(std::int64_t at, SectorStatus& status)
{
    status = SectorStatus::Ok;
    if (m_memory != nullptr && static_cast<std::uint64_t>(at) + SECTOR_SIZE <= m_bytes->size())
        return m_memory + at;
    // The directory's tracks of side 0 first, in one read: every reader starts there.
    if (!m_cache)
        load(0, static_cast<int>(sector_offset(m_layout, DIRECTORY_TRACKS - 1, 0) / TRACK_BYTES) + 1);
    // Every track starts at a multiple of TRACK_BYTES in either layout: its place in the file.
    const auto place = static_cast<int>(at / TRACK_BYTES);
    if (m_delivered[static_cast<std::size_t>(place)] == NOT_READ) {
        // The tracks that follow in the file come in the same read, up to the first one read already: a walk
        // over the disc costs a few reads, not one per track.
        int count = 1;
        while (count < READ_AHEAD_TRACKS && place + count < TRACKS &&
               m_delivered[static_cast<std::size_t>(place + count)] == NOT_READ)
            ++count;
        load(place, count);
    }
    // Bytes the file held when it was opened but did not deliver: the file shrank, or a read failed.
    const std::int64_t lost_from = std::max(at, place * TRACK_BYTES + m_delivered[static_cast<std::size_t>(place)]);
    if (lost_from < at + static_cast<std::int64_t>(SECTOR_SIZE) &&
        static_cast<std::uint64_t>(lost_from) < m_bytes->size())
        status = SectorStatus::Unreadable;
    return m_cache.get() + at;
}

SectorView RawImage::first_sector()
{
    SectorStatus status{};
    return SectorView(sector_at(0, status), SECTOR_SIZE);
}

SectorStatus RawImage::read_clamped(std::uint8_t track_byte, int sector_index, SectorSpan out)
{
    SectorStatus status{};
    std::copy_n(sector_at(sector_offset(m_layout, track_byte, sector_index), status), SECTOR_SIZE, out.begin());
    return status;
}

const std::uint8_t* RawImage::view_clamped(std::uint8_t track_byte, int sector_index)
{
    SectorStatus status{};
    return sector_at(sector_offset(m_layout, track_byte, sector_index), status);
}

std::size_t MemoryBytes::read_at(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset >= m_bytes.size())
        return 0;
    const std::size_t got = std::min(out.size(), m_bytes.size() - static_cast<std::size_t>(offset));
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), got, out.begin());
    return got;
}

Opened open_image(const std::string& path)
{
    if (auto container = open_container(path))
        return std::move(*container);
    const Layout layout = layout_from_path(path);
    if (layout == Layout::None)
        return common::Error{"not a disc image (the name must end in " + extensions_text(KindSet::All) + ")",
                             common::ErrorKind::NotAnImage};
    auto bytes = std::make_unique<FileBytes>(path);
    if (!bytes->is_open()) {
        common::Error failure = bytes->failure();
        if (regular_file_size(path) >= 0)
            failure.kind = common::ErrorKind::Unopened;
        return failure;
    }
    OpenImage image;
    image.layout = layout;
    image.raw_size = static_cast<std::int64_t>(bytes->size());
    image.scannable = image.raw_size == IMAGE_BYTES;
    if (const auto by_content = layout_by_content(*bytes); by_content && *by_content != layout) {
        image.layout = *by_content;
        image.layout_by_content = true;
        image.notes.push_back(layout_note(*by_content));
    }
    auto raw = std::make_unique<RawImage>(std::move(bytes), image.layout);
    // A container known by its signature (an Extended DSK) under a raw image's name is read as that container.
    // Reading the first sector reads the directory too, so a listing of the file as it is now is at hand whatever
    // happens to the file later.
    if (const ImageKind* kind = kind_by_signature(raw->first_sector()))
        return std::visit([](auto&& result) -> Opened { return std::move(result); },
                          open_decoded_file(path, kind->decode));
    image.source = std::move(raw);
    return image;
}

std::variant<OpenImage, common::Error> open_one_image(const std::string& path)
{
    Opened opened = open_image(path);
    if (const auto* choice = std::get_if<ArchiveChoice>(&opened))
        return common::Error{choice->reason()};
    if (auto* failure = std::get_if<common::Error>(&opened))
        return std::move(*failure);
    return std::get<OpenImage>(std::move(opened));
}

std::int64_t regular_file_size(const std::string& path)
{
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

std::string size_reason(std::int64_t size)
{
    return "size is " + std::to_string(size) + " bytes, not " + std::to_string(IMAGE_BYTES);
}

} // namespace image
