#include "image/zip_archive.h"

#include "common/path_text.h"
#include "image/file_bytes.h"
#include "image/image_kinds.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <utility>

#include <minizip/unzip.h>

namespace image {

// An open file or bytes in memory, with the position minizip reads at.
struct ZipInput
{
    std::unique_ptr<FileBytes> file;
    std::vector<std::uint8_t> bytes;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};

namespace {

constexpr unsigned long ENCRYPTED_FLAG = 0x01;
constexpr unsigned long STORED = 0;
// Deflate cannot unpack to more than 1032 times its packed size (a 258-byte match in two bits), so a declared size
// beyond that is false; the slack covers block headers of tiny entries.
constexpr std::uint64_t MAX_DEFLATE_RATIO = 1032;
constexpr std::uint64_t DEFLATE_SLACK = 4096;
constexpr std::string_view DAMAGED = "the zip archive is damaged or cut off";

// minizip's file functions over a ZipInput; the stream is the ZipInput itself.
voidpf input_open(voidpf opaque, const void*, int)
{
    return opaque;
}

uLong input_read(voidpf, voidpf stream, void* buffer, uLong size)
{
    ZipInput& input = *static_cast<ZipInput*>(stream);
    if (input.position >= input.size)
        return 0;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, input.size - input.position));
    std::size_t got = wanted;
    if (input.file)
        got = input.file->read_at(input.position, std::span(static_cast<std::uint8_t*>(buffer), wanted));
    else
        std::memcpy(buffer, input.bytes.data() + input.position, wanted);
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

std::variant<ZipArchive, OpenFailure> ZipArchive::open(std::unique_ptr<ZipInput> input)
{
    zlib_filefunc64_def functions{input_open, input_read,  input_write, input_tell,
                                  input_seek, input_close, input_error, input.get()};
    ZipArchive archive;
    archive.m_zip = unzOpen2_64(nullptr, &functions);
    archive.m_input = std::move(input);
    if (archive.m_zip == nullptr)
        return OpenFailure{"not a zip archive, or damaged or cut off", true};
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(archive.m_zip, &global) != UNZ_OK)
        return OpenFailure{std::string(DAMAGED)};
    if (global.number_entry > MAX_ZIP_ENTRIES)
        return OpenFailure{"the archive holds " + std::to_string(global.number_entry) + " entries, more than the " +
                           std::to_string(MAX_ZIP_ENTRIES) + " read here"};
    int step = global.number_entry > 0 ? unzGoToFirstFile(archive.m_zip) : UNZ_END_OF_LIST_OF_FILE;
    for (std::uint64_t index = 0; step == UNZ_OK && index < global.number_entry;
         ++index, step = unzGoToNextFile(archive.m_zip)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(archive.m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return OpenFailure{std::string(DAMAGED)};
        // The stored length is a 16-bit field.
        std::string name(info.size_filename, '\0');
        unz64_file_pos position{};
        if (unzGetCurrentFileInfo64(archive.m_zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                    nullptr, 0) != UNZ_OK ||
            unzGetFilePos64(archive.m_zip, &position) != UNZ_OK)
            return OpenFailure{std::string(DAMAGED)};
        if (is_image_name(name))
            archive.m_images.push_back({name, position.num_of_file, position.pos_in_zip_directory,
                                        info.uncompressed_size, entry_problem(info, name)});
    }
    if (step != UNZ_OK && step != UNZ_END_OF_LIST_OF_FILE)
        return OpenFailure{std::string(DAMAGED)};
    return archive;
}

std::variant<ZipArchive, OpenFailure> open_zip(const std::string& path)
{
    auto input = std::make_unique<ZipInput>();
    input->file = std::make_unique<FileBytes>(path);
    if (!input->file->is_open())
        return input->file->failure();
    input->size = input->file->size();
    return ZipArchive::open(std::move(input));
}

std::variant<ZipArchive, OpenFailure> open_zip(std::vector<std::uint8_t> bytes)
{
    auto input = std::make_unique<ZipInput>();
    input->size = bytes.size();
    input->bytes = std::move(bytes);
    return ZipArchive::open(std::move(input));
}

std::vector<const ZipEntry*> ZipArchive::find(std::string_view name) const
{
    const std::string lower = common::ascii_lower(name);
    std::vector<const ZipEntry*> found;
    for (const ZipEntry& entry : m_images) {
        if (common::ascii_lower(entry.name) == lower)
            found.push_back(&entry);
    }
    return found;
}

std::variant<std::vector<std::uint8_t>, OpenFailure> ZipArchive::read(const ZipEntry& entry, std::size_t cap)
{
    auto failure = [](std::string_view why) {
        return OpenFailure{std::string(why)};
    };
    if (!entry.problem.empty())
        return failure(entry.problem);
    if (entry.size > cap)
        return failure("declares " + std::to_string(entry.size) + " bytes: too large for a disc image");
    const unz64_file_pos position{entry.directory_offset, entry.index};
    if (unzGoToFilePos64(m_zip, &position) != UNZ_OK)
        return failure(DAMAGED);
    // minizip checks the entry's local record against the directory here.
    if (unzOpenCurrentFile(m_zip) != UNZ_OK)
        return failure("its record does not match the archive's directory: the archive is damaged");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.size));
    std::size_t got = 0;
    int result = 1;
    while (got < bytes.size() && result > 0) {
        const auto wanted = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - got, INT_MAX));
        result = unzReadCurrentFile(m_zip, bytes.data() + got, wanted);
        got += result > 0 ? static_cast<std::size_t>(result) : 0;
    }
    // Closing after the last byte checks the CRC. minizip never reads beyond the declared size: more data than
    // that shows as a CRC error.
    const int closed = unzCloseCurrentFile(m_zip);
    if (result < 0)
        return failure("packed data is damaged");
    if (got < bytes.size())
        return failure("holds " + std::to_string(got) + " bytes, not the " + std::to_string(entry.size) +
                       " it declares");
    if (closed == UNZ_CRCERROR)
        return failure("CRC error: the archive is damaged");
    if (closed != UNZ_OK)
        return failure(DAMAGED);
    return bytes;
}

} // namespace image
