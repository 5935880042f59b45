// Builds disc images for tests from a few lines of code: raw directory entries, files laid out along sector
// chains, either layout, any file size. Sectors are addressed as the disc names them (track byte, sector
// number 1-10) and placed in the byte vector by the same geometry the program reads with.
#pragma once

#include "image/directory.h"
#include "image/geometry.h"
#include "image/sector_source.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace testing_support {

// The fields a test usually sets on a directory entry; everything else stays zero.
struct EntryFields
{
    std::uint8_t status = 0;
    std::string name;                   // padded with blanks to ten bytes unless raw_name is set
    std::vector<std::uint8_t> raw_name; // exactly these bytes (up to ten), zero-filled after
    std::uint16_t sector_count = 0;
    std::uint8_t first_track = 0;
    std::uint8_t first_sector = 0;
    std::uint8_t tape_type = 0;
    std::uint16_t zx_length = 0;
    std::uint16_t zx_start = 0;
    std::uint16_t zx_program_length = 0;
    std::uint16_t zx_autostart = 0;
    std::uint8_t sam_start_page = 0;
    std::uint16_t sam_code_offset = 0;
    std::uint8_t sam_page_count = 0;
    std::uint16_t sam_length = 0;
};

// A sector address as stored on the disc.
struct Sector
{
    std::uint8_t track_byte;
    std::uint8_t number; // 1-10
};

// The registers of a program at the moment the +D or DISCiPLE snapshot button was pressed.
struct SnapRegisters
{
    std::uint16_t af = 0;
    std::uint16_t bc = 0;
    std::uint16_t de = 0;
    std::uint16_t hl = 0;
    std::uint16_t af_alt = 0;
    std::uint16_t bc_alt = 0;
    std::uint16_t de_alt = 0;
    std::uint16_t hl_alt = 0;
    std::uint16_t ix = 0;
    std::uint16_t iy = 0;
    std::uint16_t sp = 0;
    std::uint16_t pc = 0;
    std::uint8_t i = 0;
    std::uint8_t r = 0;
    bool interrupts_enabled = false;
};

// A snapshot file as the interface saves it: the 256-byte directory entry (type 5 or 9, the register dump at
// bytes 220-241, no name or chain yet) and the file's bytes (48 KiB of RAM from 0x4000; or the paging byte and
// banks 0-7), with the flags and R, AF and the PC pushed below the program's SP where that is RAM.
struct PlusdSnapshotFile
{
    std::vector<std::uint8_t> entry;
    std::vector<std::uint8_t> stream;
};

// Builds the file from the registers and RAM_BYTES of 49,152 (48K) or 131,072 (128K, banks 0-7, with `paging` as
// the port 0x7FFD value).
PlusdSnapshotFile plusd_snapshot_file(const SnapRegisters& regs, std::vector<std::uint8_t> ram,
                                      std::uint8_t paging = 0);

class ImageBuilder
{
public:
    explicit ImageBuilder(image::Layout layout = image::Layout::Interleaved);

    // Writes a directory entry into a slot (0-79, or up to the last slot of the directory tracks set below); the
    // first entry keeps its count of extra directory tracks.
    ImageBuilder& entry(int slot, const EntryFields& fields);
    // Gives the disc `tracks` directory tracks as MasterDOS does: the count beyond four in the last byte of the
    // first entry, and file data from the track after them. Call before adding files.
    ImageBuilder& directory_tracks(int tracks);
    // The 256 raw bytes of a slot's entry, for odd values no EntryFields field covers.
    std::span<std::uint8_t> entry_bytes(int slot);

    // The 512 bytes of a sector.
    std::span<std::uint8_t> sector(Sector at);
    // Sets the link bytes (510, 511) of a sector.
    ImageBuilder& link(Sector from, Sector to);

    // Lays `stream` out along a chain of fresh sectors (510 data bytes each, linked, the last linked to 0/0)
    // and returns the sectors used, in chain order. Sectors are taken from the first track after the directory
    // upwards on side 0, then side 1.
    std::vector<Sector> write_chain(std::span<const std::uint8_t> stream);

    // A ZX file: a 9-byte disc header (type, length, start, parameters) followed by `data`, along a fresh chain,
    // and a matching directory entry. Returns the chain.
    std::vector<Sector> add_zx_file(int slot, std::uint8_t type_code, const std::string& name,
                                    std::span<const std::uint8_t> data, std::uint16_t start = 0,
                                    std::uint16_t autostart = 0, std::uint16_t program_length = 0);

    // A SAM file of the given type code (16-20) with a header the scan accepts. Returns the chain.
    std::vector<Sector> add_sam_file(int slot, std::uint8_t type_code, const std::string& name,
                                     std::span<const std::uint8_t> data, std::uint8_t start_page = 1,
                                     std::uint16_t offset = 0x8000);

    // A +D snapshot along a fresh chain, with its entry in `slot`. Returns the chain.
    std::vector<Sector> add_plusd_snapshot(int slot, const std::string& name, const PlusdSnapshotFile& file);

    // Changes the size of the image (shorter or longer than 819,200 bytes) for odd-size tests.
    ImageBuilder& resize(std::size_t size);

    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
    image::Layout layout() const { return m_layout; }

    // Writes the image to a file and returns its path.
    std::filesystem::path write(const std::filesystem::path& path) const;

private:
    Sector next_free_sector();
    // Writes the stream along a fresh chain and the entry with the chain's start and length.
    std::vector<Sector> place_file(int slot, EntryFields fields, std::span<const std::uint8_t> stream);

    image::Layout m_layout;
    std::vector<std::uint8_t> m_bytes;
    int m_next_free = 0;
    int m_first_data_track = image::DIRECTORY_TRACKS;
};

// The tape type that a ZX directory type code carries in entry byte 211.
std::uint8_t tape_type_for(std::uint8_t type_code);

// Writes bytes to a file (creating or replacing it).
void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
// Reads a whole file; empty when it cannot be read.
std::vector<std::uint8_t> read_file(const std::filesystem::path& path);
// Reads a whole file as text, bytes unchanged; empty when it cannot be read.
std::string read_text(const std::filesystem::path& path);

// A fresh folder below the system's temporary folder, removed with everything in it when destroyed.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Folder of the real disc images kept with the tests.
std::filesystem::path real_images_dir();

// The image at `path` opened as the program opens it; throws (failing the test) when it does not open.
std::unique_ptr<image::SectorSource> open_source(const std::filesystem::path& path);
// The file at `path` read as a raw image in `layout`, whatever its name.
std::unique_ptr<image::SectorSource> open_raw(const std::filesystem::path& path, image::Layout layout);

// The disc images in that folder (names ending in .mgt, .dsk or .img), sorted by path.
std::vector<std::filesystem::path> real_images();

// The bytes of a file of each kind of image_kinds.h, by the kind's label ("MGT", "zip"): a real image, or for SAD
// the real side-after-side image behind a SAD header; empty for a kind that has none yet.
std::vector<std::uint8_t> kind_sample(std::string_view label);

} // namespace testing_support
