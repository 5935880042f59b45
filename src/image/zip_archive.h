// Zip archives of disc images, read with minizip (zlib's own zip reader, which Debian ships as a static archive for
// the static kestrel-cli). The archive's directory is walked once when it is opened; only the entries whose names
// are disc images of a kind the program reads are offered, each with the reason it cannot be read when it cannot
// (encrypted, a name that would leave the archive's folder, a size no disc image has). An entry is read whole into
// memory, never beyond a cap, and its CRC is checked. Nothing is ever unpacked to disc.
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
};

// Whether bytes start as a zip archive does ("PK" and a local or end-of-archive record).
bool is_zip(std::span<const std::uint8_t> head);

// Whether a name inside an archive is a disc image the program reads: a disc kind of image_kinds.h (.mgt, .dsk,
// .img, .sad), or one of these packed (".mgt.gz"), in any case.
bool is_image_name(std::string_view name);

struct ZipInput; // where minizip reads an archive from: a file or bytes in memory

class ZipArchive
{
public:
    ZipArchive(ZipArchive&& other) noexcept;
    ZipArchive& operator=(ZipArchive&& other) noexcept;
    ~ZipArchive();

    // The entries that name disc images, in the archive's order.
    const std::vector<ZipEntry>& images() const { return m_images; }

    // The image entries of that name in any case of A-Z, in the archive's order: none, one, or several (an
    // archive may hold two entries of one name, or of names that differ only in case).
    std::vector<const ZipEntry*> find(std::string_view name) const;

    // The unpacked bytes of an entry. Fails, saying why, when it has a problem, is damaged (CRC
    // error), holds more or fewer bytes than it declares, or would unpack to more than `cap` bytes.
    std::variant<std::vector<std::uint8_t>, OpenFailure> read(const ZipEntry& entry,
                                                              std::size_t cap = MAX_CONTAINER_BYTES);

private:
    ZipArchive() = default;
    // Opens the archive minizip reads from `input` and lists its image entries.
    static std::variant<ZipArchive, OpenFailure> open(std::unique_ptr<ZipInput> input);
    friend std::variant<ZipArchive, OpenFailure> open_zip(const std::string& path);
    friend std::variant<ZipArchive, OpenFailure> open_zip(std::vector<std::uint8_t> bytes);

    std::unique_ptr<ZipInput> m_input;
    void* m_zip = nullptr; // minizip's handle
    std::vector<ZipEntry> m_images;
};

// Opens the zip archive at `path` and lists its image entries. Fails when the file cannot be read, is no zip
// archive, is damaged or cut off, or has more than MAX_ZIP_ENTRIES entries.
std::variant<ZipArchive, OpenFailure> open_zip(const std::string& path);

// Likewise for an archive held in memory.
std::variant<ZipArchive, OpenFailure> open_zip(std::vector<std::uint8_t> bytes);

} // namespace image
