// Zip archives of disc images, read with minizip (zlib's own zip reader, which Debian ships as a static archive for
// the static kestrel-cli). The archive's directory is walked once when it is opened; only the entries whose names
// are disc images of a kind the program reads are offered, each with the reason it cannot be read when it cannot
// (encrypted, a name that would leave the archive's folder, a size no disc image has). minizip finds an entry's
// data and checks its record; the data is unpacked here with zlib, as far as it is read: read whole (never beyond a
// cap) it is checked to hold exactly the bytes it declares, with their CRC. Nothing is ever unpacked to disc.
#pragma once

#include "image/container.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace image {

// An archive with more entries than this is refused: no collection of discs needs more, and each entry costs
// memory and time before the first disc is shown.
inline constexpr std::uint64_t MAX_ZIP_ENTRIES = 1000;

// An entry of an archive that names a disc image.
struct ZipEntry
{
    std::string name;                   // as stored, folders included
    std::uint64_t index = 0;            // its place in the archive's directory
    std::uint64_t directory_offset = 0; // where its record in the directory starts
    std::uint64_t size = 0;             // unpacked size, as the archive declares it
    std::string problem;                // why it cannot be read ("encrypted"); empty when it can
    std::uint64_t packed_size = 0;      // as the archive declares it
    unsigned long method = 0;           // stored or deflated (others have a problem)
    unsigned long crc = 0;              // of the unpacked bytes, as declared
};

// Whether bytes start as a zip archive does ("PK" and a local or end-of-archive record).
bool is_zip(std::span<const std::uint8_t> head);

// Whether a name inside an archive is a disc image the program reads: a disc kind of image_kinds.h (.mgt, .dsk,
// .img, .sad), or one of these packed (".mgt.gz"), in any case.
bool is_image_name(std::string_view name);

struct ZipInput; // where minizip reads an archive from: a file or bytes in memory
struct Inflater; // zlib's state for an entry being unpacked

// The bytes of one entry, unpacked as far as they are read: the directory of a raw image costs its tracks, not the
// whole image. Once read to the end, the entry is checked whole: that its data ends with the bytes it declares,
// and their CRC. Bytes that cannot be unpacked (damaged data, an entry shorter than it declares) read as fewer
// bytes than asked, and failure() says why.
class ZipEntryBytes : public ByteSource
{
public:
    ZipEntryBytes(std::shared_ptr<ZipInput> input, const ZipEntry& entry, std::uint64_t data_offset);
    ~ZipEntryBytes() override;
    ZipEntryBytes(const ZipEntryBytes&) = delete;
    ZipEntryBytes& operator=(const ZipEntryBytes&) = delete;

    // The size the entry declares.
    std::uint64_t size() const override { return m_size; }
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override;
    const std::uint8_t* data() override { return nullptr; }

    // Unpacks the first `end` bytes (at most size()); unpacking all of them checks the entry whole. False, with
    // failure() saying why, when that failed.
    bool unpack(std::uint64_t end);
    // Why bytes could not be unpacked; empty while none failed.
    const std::string& failure() const { return m_failure; }
    // The bytes unpacked, given away.
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    void fail(std::string reason);
    // Unpacks more bytes, at least up to `end` unless the data ends or fails first.
    void unpack_more(std::uint64_t end);
    // Inflates into `room` until it is full or the data ends or fails; how many bytes it gave.
    std::size_t inflate_into(std::span<std::uint8_t> room);
    // After the declared bytes: that the data ends there, and the CRC.
    void check_end();

    std::shared_ptr<ZipInput> m_input;
    std::uint64_t m_data_offset;
    std::uint64_t m_packed_size;
    std::uint64_t m_size;
    unsigned long m_method;
    unsigned long m_crc;
    std::unique_ptr<Inflater> m_inflater; // for deflated data
    std::uint64_t m_packed_read = 0;
    std::vector<std::uint8_t> m_bytes; // unpacked so far
    bool m_ended = false;              // the data ended (or failed): nothing more comes
    bool m_checked = false;
    std::string m_failure;
};

class ZipArchive
{
public:
    ZipArchive(ZipArchive&& other) noexcept;
    ZipArchive& operator=(ZipArchive&& other) noexcept;
    ~ZipArchive();

    // The entries that name disc images, in the archive's order.
    const std::vector<ZipEntry>& images() const { return m_images; }

    // The image entries that answer to a name: the one of exactly that name when there is one alone, else those of
    // that name in any case of A-Z, in the archive's order: none, one, or several (an archive may hold two entries
    // of one name, or of names that differ only in case).
    std::vector<const ZipEntry*> find(std::string_view name) const;

    // The unpacked bytes of an entry. Fails, saying why, when it has a problem, is damaged (CRC
    // error), holds more or fewer bytes than it declares, or would unpack to more than `cap` bytes.
    std::variant<std::vector<std::uint8_t>, common::Error> read(const ZipEntry& entry,
                                                                std::size_t cap = MAX_CONTAINER_BYTES);

    // The bytes of an entry, to be unpacked as far as they are read; they stay readable when the archive is gone.
    // Fails, saying why, when the entry has a problem or its record in the archive is damaged.
    std::variant<std::unique_ptr<ZipEntryBytes>, common::Error> open_entry(const ZipEntry& entry,
                                                                           std::size_t cap = MAX_CONTAINER_BYTES);

private:
    ZipArchive() = default;
    // Opens the archive minizip reads from `input` and lists its image entries.
    static std::variant<ZipArchive, common::Error> open(std::unique_ptr<ZipInput> input);
    friend std::variant<ZipArchive, common::Error> open_zip(const std::string& path);
    friend std::variant<ZipArchive, common::Error> open_zip(std::vector<std::uint8_t> bytes);

    std::shared_ptr<ZipInput> m_input;
    void* m_zip = nullptr; // minizip's handle
    std::vector<ZipEntry> m_images;
};

// Opens the zip archive at `path` and lists its image entries. Fails when the file cannot be read, is no zip
// archive, is damaged or cut off, or has more than MAX_ZIP_ENTRIES entries.
std::variant<ZipArchive, common::Error> open_zip(const std::string& path);

// Likewise for an archive held in memory.
std::variant<ZipArchive, common::Error> open_zip(std::vector<std::uint8_t> bytes);

} // namespace image
