#include "image/zip_archive.h"

#include "common/path_text.h"
#include "image/file_bytes.h"
#include "image/image_kinds.h"
#include "image/inflate_stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include <minizip/unzip.h>
#include <zlib.h>

namespace image {

// An open file or bytes in memory, with the position minizip reads at.
struct ZipInput
{
    std::unique_ptr<FileBytes> file;
    std::vector<std::uint8_t> bytes;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};

// zlib's stream for deflated data, with the packed bytes it reads from.
struct Inflater
{
    static constexpr std::size_t PACKED_CHUNK = 32 * 1024;

    InflateStream inflate{-MAX_WBITS}; // raw deflate data, as zip keeps it
    std::array<std::uint8_t, PACKED_CHUNK> packed{};
};

namespace {

constexpr unsigned long ENCRYPTED_FLAG = 0x01;
constexpr unsigned long STORED = 0;
// Deflate cannot unpack to more than 1032 times its packed size (a 258-byte match in two bits), so a declared size
// beyond that is false; the slack covers block headers of tiny entries.
constexpr std::uint64_t MAX_DEFLATE_RATIO = 1032;
constexpr std::uint64_t DEFLATE_SLACK = 4096;
constexpr std::string_view DAMAGED = "the zip archive is damaged or cut off";
// An entry read in pieces is unpacked at least this far ahead of the last piece read.
constexpr std::size_t UNPACK_STEP = 32 * 1024;

// Bytes of the input at `offset`, wherever it is kept; fewer at its end or on a read error.
std::size_t read_input(ZipInput& input, std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset >= input.size)
        return 0;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), input.size - offset));
    if (input.file)
        return input.file->read_at(offset, out.first(wanted));
    std::memcpy(out.data(), input.bytes.data() + offset, wanted);
    return wanted;
}

// minizip's file functions over a ZipInput; the stream is the ZipInput itself.
voidpf input_open(voidpf opaque, const void*, int)
{
    return opaque;
}

uLong input_read(voidpf, voidpf stream, void* buffer, uLong size)
{
    ZipInput& input = *static_cast<ZipInput*>(stream);
    const std::size_t got = read_input(input, input.position, std::span(static_cast<std::uint8_t*>(buffer), size));
    input.position += got;
    return static_cast<uLong>(got);
}

uLong input_write(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T input_tell(voidpf, voidpf stream)
{
    return static_cast<ZipInput*>(stream)->position;
}

long input_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    ZipInput& input = *static_cast<ZipInput*>(stream);
    const std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? input.position
                               : origin == ZLIB_FILEFUNC_SEEK_END ? input.size
                                                                  : 0;
    if (offset > input.size || base > input.size - offset)
        return -1;
    input.position = base + offset;
    return 0;
}

int input_close(voidpf, voidpf)
{
    return 0;
}

int input_error(voidpf, voidpf)
{
    return 0;
}

// Names are only shown, never used as paths, but one that climbs out of the archive's folder marks a hostile
// archive, and its entry is not offered.
bool is_safe_name(std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.front() == '\\' || (name.size() >= 2 && name[1] == ':'))
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

std::string entry_problem(const unz_file_info64& info, std::string_view name)
{
    if (!is_safe_name(name))
        return "the name leaves the archive's folder (an absolute path or ..)";
    if (info.flag & ENCRYPTED_FLAG)
        return "encrypted";
    if (info.compression_method != STORED && info.compression_method != Z_DEFLATED)
        return "packed with method " + std::to_string(info.compression_method) + ", which cannot be unpacked here";
    if (info.uncompressed_size > MAX_CONTAINER_BYTES)
        return "declares " + std::to_string(info.uncompressed_size) + " bytes: too large for a disc image";
    if (info.compression_method == STORED && info.uncompressed_size != info.compressed_size)
        return "stored unpacked, but declares " + std::to_string(info.uncompressed_size) + " bytes in " +
               std::to_string(info.compressed_size);
    if (info.uncompressed_size > info.compressed_size * MAX_DEFLATE_RATIO + DEFLATE_SLACK)
        return "declares " + std::to_string(info.uncompressed_size) + " bytes, more than its " +
               std::to_string(info.compressed_size) + " packed bytes can hold";
    return {};
}

} // namespace

ZipArchive::ZipArchive(ZipArchive&& other) noexcept
    : m_input(std::move(other.m_input)), m_zip(std::exchange(other.m_zip, nullptr)), m_images(std::move(other.m_images))
{}

ZipArchive& ZipArchive::operator=(ZipArchive&& other) noexcept
{
    if (this != &other) {
        if (m_zip != nullptr)
            unzClose(m_zip);
        m_zip = std::exchange(other.m_zip, nullptr);
        m_input = std::move(other.m_input);
        m_images = std::move(other.m_images);
    }
    return *this;
}

ZipArchive::~ZipArchive()
{
    if (m_zip != nullptr)
        unzClose(m_zip);
}

std::variant<ZipArchive, common::Error> ZipArchive::open(std::unique_ptr<ZipInput> input)
{
    zlib_filefunc64_def functions{input_open, input_read,  input_write, input_tell,
                                  input_seek, input_close, input_error, input.get()};
    ZipArchive archive;
    archive.m_zip = unzOpen2_64(nullptr, &functions);
    archive.m_input = std::move(input);
    if (archive.m_zip == nullptr)
        return common::Error{"not a zip archive, or damaged or cut off", common::ErrorKind::NotAnImage};
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(archive.m_zip, &global) != UNZ_OK)
        return common::Error{std::string(DAMAGED)};
    if (global.number_entry > MAX_ZIP_ENTRIES)
        return common::Error{"the archive holds " + std::to_string(global.number_entry) + " entries, more than the " +
                             std::to_string(MAX_ZIP_ENTRIES) + " read here"};
    int step = global.number_entry > 0 ? unzGoToFirstFile(archive.m_zip) : UNZ_END_OF_LIST_OF_FILE;
    for (std::uint64_t index = 0; step == UNZ_OK && index < global.number_entry;
         ++index, step = unzGoToNextFile(archive.m_zip)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(archive.m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return common::Error{std::string(DAMAGED)};
        // The stored length is a 16-bit field.
        std::string name(info.size_filename, '\0');
        unz64_file_pos position{};
        if (unzGetCurrentFileInfo64(archive.m_zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                    nullptr, 0) != UNZ_OK ||
            unzGetFilePos64(archive.m_zip, &position) != UNZ_OK)
            return common::Error{std::string(DAMAGED)};
        if (is_image_name(name))
            archive.m_images.push_back({name, position.num_of_file, position.pos_in_zip_directory,
                                        info.uncompressed_size, entry_problem(info, name), info.compressed_size,
                                        info.compression_method, info.crc});
    }
    if (step != UNZ_OK && step != UNZ_END_OF_LIST_OF_FILE)
        return common::Error{std::string(DAMAGED)};
    return archive;
}

std::variant<ZipArchive, common::Error> open_zip(const std::string& path)
{
    auto input = std::make_unique<ZipInput>();
    input->file = std::make_unique<FileBytes>(path);
    if (!input->file->is_open())
        return input->file->failure();
    input->size = input->file->size();
    return ZipArchive::open(std::move(input));
}

std::variant<ZipArchive, common::Error> open_zip(std::vector<std::uint8_t> bytes)
{
    auto input = std::make_unique<ZipInput>();
    input->size = bytes.size();
    input->bytes = std::move(bytes);
    return ZipArchive::open(std::move(input));
}

std::vector<const ZipEntry*> ZipArchive::find(std::string_view name) const
{
    const std::string lower = common::ascii_lower(name);
    std::vector<const ZipEntry*> exact;
    std::vector<const ZipEntry*> found;
    for (const ZipEntry& entry : m_images) {
        if (entry.name == name)
            exact.push_back(&entry);
        if (common::ascii_lower(entry.name) == lower)
            found.push_back(&entry);
    }
    // "A.mgt" and "a.MGT" in one archive are each opened by their own name.
    return exact.size() == 1 ? exact : found;
}

std::variant<std::unique_ptr<ZipEntryBytes>, common::Error> ZipArchive::open_entry(const ZipEntry& entry,
                                                                                   std::size_t cap)
{
    auto failure = [](std::string why) {
        return common::Error{std::move(why)};
    };
    if (!entry.problem.empty())
        return failure(entry.problem);
    if (entry.size > cap)
        return failure("declares " + std::to_string(entry.size) + " bytes: too large for a disc image");
    const unz64_file_pos position{entry.directory_offset, entry.index};
    if (unzGoToFilePos64(m_zip, &position) != UNZ_OK)
        return failure(std::string(DAMAGED));
    // minizip checks the entry's local record against the directory here, and finds where its data starts; the
    // data itself is read raw and unpacked by the entry's bytes.
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(m_zip, &method, &level, 1) != UNZ_OK)
        return failure("its record does not match the archive's directory: the archive is damaged");
    const ZPOS64_T data_offset = unzGetCurrentFileZStreamPos64(m_zip);
    unzCloseCurrentFile(m_zip);
    return std::make_unique<ZipEntryBytes>(m_input, entry, data_offset);
}

std::variant<std::vector<std::uint8_t>, common::Error> ZipArchive::read(const ZipEntry& entry, std::size_t cap)
{
    auto opened = open_entry(entry, cap);
    if (auto* failure = std::get_if<common::Error>(&opened))
        return std::move(*failure);
    ZipEntryBytes& bytes = *std::get<std::unique_ptr<ZipEntryBytes>>(opened);
    if (!bytes.unpack(bytes.size()))
        return common::Error{bytes.failure()};
    return bytes.take();
}

ZipEntryBytes::ZipEntryBytes(std::shared_ptr<ZipInput> input, const ZipEntry& entry, std::uint64_t data_offset)
    : m_input(std::move(input)), m_data_offset(data_offset), m_packed_size(entry.packed_size), m_size(entry.size),
      m_method(entry.method), m_crc(entry.crc)
{
    // Reserved, not filled: only the pages unpacked into are ever touched.
    m_bytes.reserve(static_cast<std::size_t>(m_size));
    if (m_method != STORED) {
        m_inflater = std::make_unique<Inflater>();
        if (!m_inflater->inflate.ok())
            fail("cannot start unpacking (out of memory)");
    }
}

ZipEntryBytes::~ZipEntryBytes() = default;

void ZipEntryBytes::fail(std::string reason)
{
    if (m_failure.empty())
        m_failure = std::move(reason);
    m_ended = true;
}

std::size_t ZipEntryBytes::read_at(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset >= m_size)
        return 0;
    unpack(std::min<std::uint64_t>(m_size, offset + out.size()));
    if (offset >= m_bytes.size())
        return 0;
    const auto got = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_bytes.size() - offset));
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), got, out.begin());
    return got;
}

bool ZipEntryBytes::unpack(std::uint64_t end)
{
    end = std::min(end, m_size);
    while (m_bytes.size() < end && !m_ended)
        unpack_more(end);
    if (m_bytes.size() < end && m_failure.empty())
        fail("holds " + std::to_string(m_bytes.size()) + " bytes, not the " + std::to_string(m_size) + " it declares");
    if (end == m_size && !m_checked && m_failure.empty()) {
        m_checked = true;
        check_end();
    }
    return m_failure.empty();
}

void ZipEntryBytes::unpack_more(std::uint64_t end)
{
    const std::size_t had = m_bytes.size();
    const std::uint64_t target = std::min<std::uint64_t>(m_size, std::max<std::uint64_t>(end, had + UNPACK_STEP));
    m_bytes.resize(static_cast<std::size_t>(target));
    const std::span<std::uint8_t> room = std::span(m_bytes).subspan(had);
    std::size_t got = 0;
    if (m_inflater) {
        got = inflate_into(room);
    } else {
        got = read_input(*m_input, m_data_offset + had, room);
        if (got < room.size())
            fail(std::string(DAMAGED));
    }
    m_bytes.resize(had + got);
}

std::size_t ZipEntryBytes::inflate_into(std::span<std::uint8_t> room)
{
    z_stream& stream = m_inflater->inflate.stream();
    stream.next_out = room.data();
    stream.avail_out = static_cast<uInt>(room.size());
    // Every pass takes packed bytes or gives unpacked ones, and both are bounded, so the loop ends.
    while (stream.avail_out > 0 && !m_ended) {
        if (stream.avail_in == 0) {
            const auto wanted = static_cast<std::size_t>(
                std::min<std::uint64_t>(Inflater::PACKED_CHUNK, m_packed_size - m_packed_read));
            const std::size_t read =
                read_input(*m_input, m_data_offset + m_packed_read, std::span(m_inflater->packed).first(wanted));
            if (read == 0) {
                fail(m_packed_read < m_packed_size ? std::string(DAMAGED) : "packed data ends early");
                break;
            }
            m_packed_read += read;
            stream.next_in = m_inflater->packed.data();
            stream.avail_in = static_cast<uInt>(read);
        }
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END)
            m_ended = true;
        else if (result != Z_OK)
            fail(m_inflater->inflate.damage_text());
    }
    return room.size() - stream.avail_out;
}

void ZipEntryBytes::check_end()
{
    // The data must end with the declared bytes: more would be another file than the one declared.
    std::array<std::uint8_t, 1> more{};
    if (m_inflater && !m_ended && inflate_into(more) > 0)
        fail("unpacks to more than the " + std::to_string(m_size) + " bytes it declares");
    if (m_failure.empty() && crc32_z(0, m_bytes.data(), m_bytes.size()) != m_crc)
        fail("CRC error: the archive is damaged");
}

} // namespace image
