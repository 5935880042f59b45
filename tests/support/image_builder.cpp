#include "support/image_builder.h"

#include "common/bytes.h"
#include "image/directory.h"
#include "image/file_bytes.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace testing_support {
namespace {

using image::FILE_HEADER_SIZE;
using image::data_sector::DATA_BYTES;
using image::data_sector::LINK_SECTOR;
using image::data_sector::LINK_TRACK;

// The +D snapshot layout, written out here on its own so that the tests do not take it from the reader.
namespace snap {
constexpr std::uint8_t TYPE_48K = 5;
constexpr std::uint8_t TYPE_128K = 9;
constexpr std::size_t RAM_48K = 49152;
constexpr std::size_t RAM_128K = 131072;
constexpr std::size_t BANK = 16384;
constexpr std::size_t DUMP = 220; // IY IX DE' BC' HL' AF' DE BC HL (spare, I) SP
constexpr std::size_t DUMP_END = 242;
constexpr std::size_t I = 239;
constexpr std::uint16_t PUSHED = 6; // flags and R, AF, PC
constexpr std::uint8_t IFF_FLAG = 0x04;
constexpr std::uint16_t RAM_START = 0x4000;
} // namespace snap

} // namespace

std::uint8_t tape_type_for(std::uint8_t type_code)
{
    switch (type_code & image::TYPE_MASK) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 3:
        return 2;
    default:
        return 3;
    }
}

ImageBuilder::ImageBuilder(image::Layout layout)
    : m_layout(layout), m_bytes(static_cast<std::size_t>(image::IMAGE_BYTES), 0)
{
    assert(layout != image::Layout::None);
}

std::span<std::uint8_t> ImageBuilder::sector(Sector at)
{
    const auto offset =
        static_cast<std::size_t>(image::sector_offset(m_layout, at.track_byte, static_cast<int>(at.number) - 1));
    if (offset + image::SECTOR_SIZE > m_bytes.size())
        throw std::out_of_range("sector lies beyond the end of the resized image");
    return std::span<std::uint8_t>(m_bytes).subspan(offset, image::SECTOR_SIZE);
}

std::span<std::uint8_t> ImageBuilder::entry_bytes(int slot)
{
    const image::SlotAddress at = image::slot_address(slot);
    return sector({at.track_byte, static_cast<std::uint8_t>(at.sector_index + 1)})
        .subspan(at.offset, image::entry::SIZE);
}

ImageBuilder& ImageBuilder::entry(int slot, const EntryFields& fields)
{
    namespace e = image::entry;
    const std::span<std::uint8_t> b = entry_bytes(slot);
    // The first entry's marks of a MasterDOS disc stay: its extra tracks and its disc name's first byte.
    const std::uint8_t extra_tracks = slot == 0 ? b[e::EXTRA_DIRECTORY_TRACKS] : std::uint8_t{0};
    const std::uint8_t disc_name = slot == 0 ? b[e::DISC_NAME] : std::uint8_t{0};
    std::fill(b.begin(), b.end(), std::uint8_t{0});
    b[e::EXTRA_DIRECTORY_TRACKS] = extra_tracks;
    b[e::DISC_NAME] = disc_name;
    b[e::STATUS] = fields.status;
    if (!fields.raw_name.empty()) {
        assert(fields.raw_name.size() <= e::NAME_LEN);
        std::copy(fields.raw_name.begin(), fields.raw_name.end(), b.begin() + e::NAME);
    } else {
        assert(fields.name.size() <= e::NAME_LEN);
        std::fill_n(b.begin() + e::NAME, e::NAME_LEN, std::uint8_t{' '});
        std::copy(fields.name.begin(), fields.name.end(), b.begin() + e::NAME);
    }
    common::put_be16(b, e::SECTOR_COUNT, fields.sector_count);
    b[e::FIRST_TRACK] = fields.first_track;
    b[e::FIRST_SECTOR] = fields.first_sector;
    b[e::TAPE_TYPE] = fields.tape_type;
    common::put_le16(b, e::ZX_LENGTH, fields.zx_length);
    common::put_le16(b, e::ZX_START, fields.zx_start);
    common::put_le16(b, e::ZX_PROGRAM_LENGTH, fields.zx_program_length);
    common::put_le16(b, e::ZX_AUTOSTART, fields.zx_autostart);
    b[e::SAM_START_PAGE] = fields.sam_start_page;
    common::put_le16(b, e::SAM_CODE_OFFSET, fields.sam_code_offset);
    b[e::SAM_PAGE_COUNT] = fields.sam_page_count;
    common::put_le16(b, e::SAM_LENGTH, fields.sam_length);
    return *this;
}

ImageBuilder& ImageBuilder::link(Sector from, Sector to)
{
    const std::span<std::uint8_t> s = sector(from);
    s[LINK_TRACK] = to.track_byte;
    s[LINK_SECTOR] = to.number;
    return *this;
}

ImageBuilder& ImageBuilder::directory_tracks(int tracks)
{
    assert(tracks >= image::DIRECTORY_TRACKS && m_next_free == 0);
    m_first_data_track = tracks;
    entry_bytes(0)[image::entry::EXTRA_DIRECTORY_TRACKS] = static_cast<std::uint8_t>(tracks - image::DIRECTORY_TRACKS);
    entry_bytes(0)[image::entry::DISC_NAME] = '*'; // MasterDOS's mark of a disc without a name
    return *this;
}

Sector ImageBuilder::next_free_sector()
{
    const int per_side = (image::TRACKS_PER_SIDE - m_first_data_track) * image::SECTORS_PER_TRACK;
    if (m_next_free >= 2 * per_side)
        throw std::length_error("image is full");
    const int side = m_next_free / per_side;
    const int within = m_next_free % per_side;
    ++m_next_free;
    const int track = m_first_data_track + within / image::SECTORS_PER_TRACK;
    return {static_cast<std::uint8_t>(track | (side ? image::SIDE_BIT : 0)),
            static_cast<std::uint8_t>(within % image::SECTORS_PER_TRACK + 1)};
}

std::vector<Sector> ImageBuilder::write_chain(std::span<const std::uint8_t> stream)
{
    std::vector<Sector> chain;
    std::size_t done = 0;
    do {
        chain.push_back(next_free_sector());
        const std::size_t piece = std::min(DATA_BYTES, stream.size() - done);
        std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(done), piece, sector(chain.back()).begin());
        done += piece;
    } while (done < stream.size());
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        link(chain[i], chain[i + 1]);
    link(chain.back(), {0, 0});
    return chain;
}

std::vector<Sector> ImageBuilder::place_file(int slot, EntryFields fields, std::span<const std::uint8_t> stream)
{
    const std::vector<Sector> chain = write_chain(stream);
    fields.sector_count = static_cast<std::uint16_t>(chain.size());
    fields.first_track = chain.front().track_byte;
    fields.first_sector = chain.front().number;
    entry(slot, fields);
    return chain;
}

std::vector<Sector> ImageBuilder::add_zx_file(int slot, std::uint8_t type_code, const std::string& name,
                                              std::span<const std::uint8_t> data, std::uint16_t start,
                                              std::uint16_t autostart, std::uint16_t program_length)
{
    const auto length = static_cast<std::uint16_t>(data.size());
    EntryFields fields;
    fields.status = type_code;
    fields.name = name;
    fields.tape_type = tape_type_for(type_code);
    fields.zx_length = length;
    fields.zx_start = start;
    fields.zx_autostart = autostart;
    fields.zx_program_length = program_length;

    std::vector<std::uint8_t> stream(FILE_HEADER_SIZE, 0);
    stream[0] = fields.tape_type;
    common::put_le16(stream, 1, length);
    common::put_le16(stream, 3, start);
    common::put_le16(stream, 5, program_length);
    common::put_le16(stream, 7, autostart);
    stream.insert(stream.end(), data.begin(), data.end());
    return place_file(slot, fields, stream);
}

std::vector<Sector> ImageBuilder::add_sam_file(int slot, std::uint8_t type_code, const std::string& name,
                                               std::span<const std::uint8_t> data, std::uint8_t start_page,
                                               std::uint16_t offset)
{
    const auto pages = static_cast<std::uint8_t>(data.size() / image::SAM_PAGE_BYTES);
    const auto last = static_cast<std::uint16_t>(data.size() % image::SAM_PAGE_BYTES);
    EntryFields fields;
    fields.status = type_code;
    fields.name = name;
    fields.sam_page_count = pages;
    fields.sam_length = last;
    fields.sam_start_page = start_page;
    fields.sam_code_offset = offset;
    fields.zx_start = offset;
    fields.zx_length = last;

    std::vector<std::uint8_t> stream(FILE_HEADER_SIZE, 0);
    stream[0] = type_code;
    common::put_le16(stream, 1, last);
    common::put_le16(stream, 3, offset);
    stream[7] = pages;
    stream[8] = start_page;
    stream.insert(stream.end(), data.begin(), data.end());
    return place_file(slot, fields, stream);
}

PlusdSnapshotFile plusd_snapshot_file(const SnapRegisters& regs, std::vector<std::uint8_t> ram, std::uint8_t paging)
{
    if (ram.size() != snap::RAM_48K && ram.size() != snap::RAM_128K)
        throw std::invalid_argument("a snapshot holds 48 or 128 KiB of RAM");
    const bool is_128k = ram.size() == snap::RAM_128K;
    // Where an address lies in `ram`: a 48K holds 0x4000 upwards; a 128K shows banks 5, 2 and the paged one.
    const auto ram_offset = [&](std::uint16_t address) -> std::ptrdiff_t {
        if (address < snap::RAM_START)
            return -1;
        if (!is_128k)
            return address - snap::RAM_START;
        const std::size_t banks[] = {0, 5, 2, static_cast<std::size_t>(paging & 7)};
        return static_cast<std::ptrdiff_t>(banks[address / snap::BANK] * snap::BANK + address % snap::BANK);
    };
    const auto stored_sp = static_cast<std::uint16_t>(regs.sp - snap::PUSHED);
    const std::uint8_t pushed[snap::PUSHED] = {static_cast<std::uint8_t>(regs.interrupts_enabled ? snap::IFF_FLAG : 0),
                                               regs.r,
                                               static_cast<std::uint8_t>(regs.af & 0xFF),
                                               static_cast<std::uint8_t>(regs.af >> 8),
                                               static_cast<std::uint8_t>(regs.pc & 0xFF),
                                               static_cast<std::uint8_t>(regs.pc >> 8)};
    for (std::uint16_t n = 0; n < snap::PUSHED; ++n) {
        const std::ptrdiff_t at = ram_offset(static_cast<std::uint16_t>(stored_sp + n));
        if (at >= 0)
            ram[static_cast<std::size_t>(at)] = pushed[n];
    }

    PlusdSnapshotFile file;
    file.entry.assign(image::entry::SIZE, 0);
    file.entry[image::entry::STATUS] = is_128k ? snap::TYPE_128K : snap::TYPE_48K;
    const std::uint16_t dump[] = {regs.iy, regs.ix, regs.de_alt, regs.bc_alt, regs.hl_alt, regs.af_alt,
                                  regs.de, regs.bc, regs.hl,     0,           stored_sp};
    for (std::size_t n = 0; n < std::size(dump); ++n)
        common::put_le16(file.entry, snap::DUMP + 2 * n, dump[n]);
    file.entry[snap::I] = regs.i;
    if (is_128k)
        file.stream.push_back(paging);
    file.stream.insert(file.stream.end(), ram.begin(), ram.end());
    return file;
}

std::vector<Sector> ImageBuilder::add_plusd_snapshot(int slot, const std::string& name, const PlusdSnapshotFile& file)
{
    EntryFields fields;
    fields.status = file.entry[image::entry::STATUS];
    fields.name = name;
    const std::vector<Sector> chain = place_file(slot, fields, file.stream);
    const auto dump = file.entry.begin() + static_cast<std::ptrdiff_t>(snap::DUMP);
    std::copy(dump, file.entry.begin() + static_cast<std::ptrdiff_t>(snap::DUMP_END),
              entry_bytes(slot).begin() + static_cast<std::ptrdiff_t>(snap::DUMP));
    return chain;
}

ImageBuilder& ImageBuilder::resize(std::size_t size)
{
    m_bytes.resize(size, 0);
    return *this;
}

std::filesystem::path ImageBuilder::write(const std::filesystem::path& path) const
{
    write_file(path, m_bytes);
    return path;
}

void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path)
{
    // Read in large blocks: the fuzz targets read a whole image on every run.
    constexpr std::size_t CHUNK = 65536;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    std::vector<char> chunk(CHUNK);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + in.gcount());
    return bytes;
}

std::string read_text(const std::filesystem::path& path)
{
    const std::vector<std::uint8_t> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them writable so they can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path real_images_dir()
{
    return KESTREL_TEST_IMAGES_DIR;
}

std::vector<std::uint8_t> kind_sample(std::string_view label)
{
    if (label == "SAD") {
        const std::string signature = "Aley's disk backup";
        std::vector<std::uint8_t> bytes(signature.begin(), signature.end());
        bytes.insert(bytes.end(), {2, 80, 10, 512 / 64});
        const std::vector<std::uint8_t> sides = read_file(real_images_dir() / "sam-sequential.img");
        bytes.insert(bytes.end(), sides.begin(), sides.end());
        return bytes;
    }
    const std::pair<std::string_view, const char*> samples[] = {
        {"MGT", "dir.mgt"},
        {"DSK", "sam-bootable.dsk"},
        {"IMG", "sam-sequential.img"},
        {"Extended DSK", "containers/image.dsk"},
        {"gzipped", "containers/image.dsk.gz"},
        {"zip", "containers/image_upper.zip"},
    };
    for (const auto& [kind, file] : samples) {
        if (kind == label)
            return read_file(real_images_dir() / file);
    }
    return {};
}

std::vector<std::filesystem::path> real_images()
{
    std::vector<std::filesystem::path> images;
    for (const auto& item : std::filesystem::directory_iterator(real_images_dir())) {
        if (image::layout_from_path(item.path().string()) != image::Layout::None)
            images.push_back(item.path());
    }
    std::sort(images.begin(), images.end());
    return images;
}

std::unique_ptr<image::SectorSource> open_source(const std::filesystem::path& path)
{
    auto opened = image::open_image(path.string());
    if (auto* image = std::get_if<image::OpenImage>(&opened))
        return std::move(image->source);
    throw std::runtime_error(path.string() + ": " + std::get<common::Error>(opened).text);
}

std::unique_ptr<image::SectorSource> open_raw(const std::filesystem::path& path, image::Layout layout)
{
    return std::make_unique<image::RawImage>(std::make_unique<image::FileBytes>(path.string()), layout);
}

} // namespace testing_support
