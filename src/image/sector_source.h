// One disc, whatever holds it: a raw image file, a buffer unpacked from an archive, a container, a floppy. Every
// reader of a disc (directory, extraction, scan, screen, snapshots) takes an open source and reads the sectors it
// needs through read_sector; nothing else reads image bytes. Sources are opened for one operation and closed when
// destroyed.
#pragma once

#include "common/error.h"

#include "image/geometry.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace image {

enum class SectorStatus
{
    Ok,         // the sector was read
    Missing,    // the container has no such sector (reads as zeros)
    Unreadable, // the sector exists but could not be read (reads as zeros)
};

using SectorSpan = std::span<std::uint8_t, SECTOR_SIZE>;
using SectorView = std::span<const std::uint8_t, SECTOR_SIZE>;

class SectorSource
{
public:
    virtual ~SectorSource() = default;

    // Reads the sector at a track byte (bits 0-6 the track, bit 7 the side) and a sector index (0-9) into out.
    // Out-of-range addresses are pulled onto the nearest valid sector, as sector_offset does. A sector that is
    // missing or unreadable, and the part of one beyond the end of a short file, reads as zero bytes.
    SectorStatus read_sector(std::uint8_t track_byte, int sector_index, SectorSpan out)
    {
        ++m_reads;
        return read_clamped(clamp_track(track_byte), clamp_sector(sector_index), out);
    }

    // The same sector for reading only: where the source holds the sector in memory (a buffer, a track it has
    // read already) the view points there and nothing is copied, so a reader that looks at a few bytes of a sector
    // (the chain links) copies none; otherwise the sector is read into `scratch` and the view points there. The
    // view is valid until the next read into `scratch` and while the source lives.
    SectorView view_sector(std::uint8_t track_byte, int sector_index, SectorSpan scratch)
    {
        ++m_reads;
        const std::uint8_t track = clamp_track(track_byte);
        const int sector = clamp_sector(sector_index);
        if (const std::uint8_t* held = view_clamped(track, sector))
            return SectorView(held, SECTOR_SIZE);
        read_clamped(track, sector, scratch);
        return scratch;
    }

    // Number of read_sector and view_sector calls on this source (for tests and benchmarks).
    long reads() const { return m_reads; }

protected:
    // Reads a sector whose track (0-79) and sector index (0-9) are in range.
    virtual SectorStatus read_clamped(std::uint8_t track_byte, int sector_index, SectorSpan out) = 0;
    // The whole sector where it lies in memory, if it does; nullptr otherwise.
    virtual const std::uint8_t* view_clamped(std::uint8_t, int) { return nullptr; }

private:
    static std::uint8_t clamp_track(std::uint8_t track_byte)
    {
        return static_cast<std::uint8_t>(std::min<int>(track_byte & TRACK_MASK, TRACKS_PER_SIDE - 1) |
                                         (track_byte & SIDE_BIT));
    }
    static int clamp_sector(int sector_index) { return std::clamp(sector_index, 0, SECTORS_PER_TRACK - 1); }

    long m_reads = 0;
};

// Bytes of a raw image, wherever they are kept.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // How many bytes there were when the source was opened.
    virtual std::uint64_t size() const = 0;
    // Copies up to out.size() bytes from `offset`; returns how many were delivered (fewer at the end of the data,
    // on a read error, or where a file has been cut short since it was opened).
    virtual std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
    // All size() bytes, where they lie in memory; nullptr when they are read with read_at only.
    virtual const std::uint8_t* data() { return nullptr; }
};

// A raw image: the 1,600 sectors one after another in a layout, over any byte source. Bytes that do not lie in
// memory (a file) are read the first time a sector of their track is asked for, and kept: the directory's four
// tracks in one read, then the track a walk reaches together with the tracks that follow it in the file, up to
// READ_AHEAD_TRACKS. No part of the file is read twice, so the disc seen stays the one first read even if the
// file changes. A sector that the bytes held when they were opened but that can no longer be read (the file was
// cut short since, or a read error) reads as zeros and Unreadable; one beyond the end of a file that was short
// from the start reads as zeros and Ok.
class RawImage : public SectorSource
{
public:
    RawImage(std::unique_ptr<ByteSource> bytes, Layout layout);

    // The first sector of the image, read without counting as a sector read (open_image tells an Extended DSK
    // under a raw image's name by it). For a file it reads the directory tracks.
    SectorView first_sector();

    // Tracks read at most in one read: 120 KiB, about what `cat` reads at once.
    static constexpr int READ_AHEAD_TRACKS = 24;

protected:
    SectorStatus read_clamped(std::uint8_t track_byte, int sector_index, SectorSpan out) override;
    const std::uint8_t* view_clamped(std::uint8_t track_byte, int sector_index) override;

private:
    static constexpr int TRACKS = SIDES * TRACKS_PER_SIDE;
    static constexpr std::int32_t NOT_READ = -1;

    // The sector at byte `at` of the image: in memory, or in the cache with its track read first if it is not
    // yet; status says whether it could be read.
    const std::uint8_t* sector_at(std::int64_t at, SectorStatus& status);
    // Reads `count` tracks' worth of bytes from the file's `first` track place (its offset / TRACK_BYTES).
    void load(int first, int count);

    std::unique_ptr<ByteSource> m_bytes;
    Layout m_layout;
    const std::uint8_t* m_memory; // the bytes when they lie in memory, else nullptr
    // The image's bytes at their offsets in the file, valid for the places read; allocated at the first read.
    std::unique_ptr<std::uint8_t[]> m_cache;
    // Per track place in the file: bytes delivered from its start when it was read, or NOT_READ.
    std::array<std::int32_t, TRACKS> m_delivered{};
};

// Bytes held in memory: an image unpacked from an archive, or one built by a writer.
class MemoryBytes : public ByteSource
{
public:
    explicit MemoryBytes(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override;
    const std::uint8_t* data() override { return m_bytes.data(); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// An image that open_image could open, with what the program needs to know of it.
struct OpenImage
{
    std::unique_ptr<SectorSource> source;
    Layout layout = Layout::None; // the layout of the raw bytes (of the inner file for archives)
    // Whether the integrity scan applies: a raw image of exactly 819,200 bytes, or a container of that geometry.
    bool scannable = false;
    std::int64_t raw_size = 0;              // size of the raw image file, or of the unpacked image
    std::vector<std::string> findings = {}; // damage a container's reader met (a DSK cut short), one line each
    std::vector<std::string> notes = {};    // what the reader decided on its own (no damage), one line each
    bool layout_by_content = false;         // a raw image read in the layout its content shows, not its name's
};

// An archive that holds several images: one is to be chosen, and opened as ARCHIVE/NAME.
struct ArchiveChoice
{
    std::string archive;            // the archive's path, as given
    std::vector<std::string> names; // its images, as stored (folders included), in the archive's order

    // The refusal where no one can choose: "the archive holds 2 disc images: a, b; choose one as X.zip/NAME".
    std::string reason() const;
};

// What opening a path gave: an image, an archive whose image is to be chosen, or why there is none ("size is 860416
// bytes, not 819200"): ErrorKind::NotAnImage when the name or the contents say it is no disc image at all, Unopened
// when the file of a raw image could not be opened (no permission, no descriptor left), so its bytes are unknown,
// not its size, by which it would have been scanned.
using Opened = std::variant<OpenImage, ArchiveChoice, common::Error>;

// The reason given for an image that is not scanned because of its size.
std::string size_reason(std::int64_t size);

// The size of the regular file at `path`; -1 when there is none.
std::int64_t regular_file_size(const std::string& path);

// Opens the image at `path`, in any form image_kinds.h lists: a raw image whose extension decides the layout (.mgt,
// .dsk interleaved; .img side after side), a container (open_container.h: .zip, .gz, .sad, ARCHIVE.zip/INNER, or
// an Extended DSK by its signature). Returns the open image, the choice an archive of several images asks for, or
// why it cannot be read.
Opened open_image(const std::string& path);

// open_image where no one can be asked to choose: an archive of several images is a failure that names them.
std::variant<OpenImage, common::Error> open_one_image(const std::string& path);

} // namespace image
