// Geometry of +D / DISCiPLE / SAM disc images and the one sector read through which everything reads them.
// An image holds 2 sides x 80 tracks x 10 sectors of 512 bytes (819,200 bytes), stored either cylinder by
// cylinder (.mgt, .dsk) or side after side (.img). Images are only ever opened for reading, one operation at a
// time; a few recently read pieces of the file are kept while it is open, never the whole image.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace image {

inline constexpr int SIDES = 2;
inline constexpr int TRACKS_PER_SIDE = 80;
inline constexpr int SECTORS_PER_TRACK = 10;
inline constexpr std::size_t SECTOR_SIZE = 512;
inline constexpr std::int64_t TRACK_BYTES = SECTORS_PER_TRACK * static_cast<std::int64_t>(SECTOR_SIZE);
inline constexpr std::int64_t CYLINDER_BYTES = SIDES * TRACK_BYTES;
inline constexpr std::int64_t SIDE_BYTES = TRACKS_PER_SIDE * TRACK_BYTES;
inline constexpr std::int64_t IMAGE_BYTES = SIDES * SIDE_BYTES;

// A track byte: bits 0-6 the track, bit 7 the side.
inline constexpr std::uint8_t SIDE_BIT = 0x80;
inline constexpr std::uint8_t TRACK_MASK = 0x7F;

enum class Layout
{
    None,        // no image chosen yet: sector reads deliver nothing
    Interleaved, // .mgt, .dsk: track 0 side 0, track 0 side 1, track 1 side 0, ...
    Sequential,  // .img: all of side 0, then all of side 1
};

// The layout named by the lower-cased extension of the file name; Layout::None for anything else.
Layout layout_from_path(std::string_view path);

// Byte offset of a sector in the file. Out-of-range addresses are pulled onto the nearest valid sector
// (track above 79 reads track 79; sector index below 0 reads 0, above 9 reads 9). Layout must not be None.
std::int64_t sector_offset(Layout layout, std::uint8_t track_byte, int sector_index);

// An image file opened read-only for the length of one operation. Closed when destroyed.
class ImageFile
{
public:
    ImageFile(const std::string& path, Layout layout);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    bool is_open() const { return m_fd >= 0; }
    // errno of a failed open; 0 when the file is open.
    int open_error() const { return m_error; }
    Layout layout() const { return m_layout; }

    // Reads one 512-byte sector into dest (at least 512 bytes). With Layout::None dest is left unchanged; the
    // part of a sector that lies beyond the end of a short file, or that cannot be read, reads as zero bytes.
    void read_sector(std::uint8_t track_byte, int sector_index, std::span<std::uint8_t> dest);

    // Number of read_sector calls that reached this file.
    long reads() const { return m_reads; }
    // Number of read_sector calls that reached any file since the program started (for benchmarks).
    static long total_reads() { return s_total_reads; }

private:
    // Reads go through a few 64 KiB windows of the file, so a scan costs a handful of reads instead of a seek
    // and a small read per sector; never more than WINDOWS x CHUNK_BYTES of the image is held at once.
    static constexpr std::size_t CHUNK_BYTES = 64 * 1024;
    static constexpr std::size_t WINDOWS = 8;
    static_assert(CHUNK_BYTES % SECTOR_SIZE == 0, "a sector never straddles two chunks");

    struct Window
    {
        std::size_t chunk = 0;
        std::size_t delivered = 0;  // bytes the file gave for this chunk (fewer at its end)
        unsigned long last_use = 0; // 0: never filled
        std::unique_ptr<std::uint8_t[]> bytes;
    };

    const Window& window_for(std::size_t chunk);

    int m_fd = -1;
    Layout m_layout;
    int m_error = 0;
    long m_reads = 0;
    unsigned long m_use_clock = 0;
    std::array<Window, WINDOWS> m_windows;
    static inline long s_total_reads = 0;
};

// errno text for a failed open, as the command line shows it.
std::string open_error_text(int error);

} // namespace image
