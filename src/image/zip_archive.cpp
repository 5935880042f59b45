#include "image/zip_archive.h"

#include "common/path_text.h"
#include "image/gzip_reader.h"

#include <algorithm>
#include <array>

#include <zip.h>

namespace image {

namespace {

constexpr std::array<std::uint8_t, 4> LOCAL_RECORD = {'P', 'K', 3, 4};
constexpr std::array<std::uint8_t, 4> END_RECORD = {'P', 'K', 5, 6}; // an archive with no entries
// Deflate cannot unpack to more than 1032 times its packed size (a 258-byte match in two bits), so a declared size
// beyond that is false; the slack covers block headers of tiny entries.
constexpr std::uint64_t MAX_DEFLATE_RATIO = 1032;
constexpr std::uint64_t DEFLATE_SLACK = 4096;
constexpr std::array<std::string_view, 4> IMAGE_EXTENSIONS = {"mgt", "dsk", "img", "sad"};

std::string zip_error_text(zip_error_t* error)
{
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOZIP:
        return "not a zip archive, or its end is cut off";
    case ZIP_ER_INCONS:
        return "the zip archive is inconsistent: damaged or cut off";
    case ZIP_ER_CRC:
        return "CRC error: the archive is damaged";
    case ZIP_ER_MEMORY:
        return "out of memory";
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
        if (zip_error_code_system(error) != 0)
            return open_error_text(zip_error_code_system(error));
        break;
    default:
        break;
    }
    return zip_error_strerror(error);
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

std::string entry_problem(const zip_stat_t& stat, std::string_view name)
{
    if (!is_safe_name(name))
        return "the name leaves the archive's folder (an absolute path or ..)";
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        return "encrypted";
    if (!(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_SIZE) || !(stat.valid & ZIP_STAT_COMP_METHOD))
        return "the archive does not say how large it is";
    if (!zip_compression_method_supported(stat.comp_method, 0))
        return "packed with method " + std::to_string(stat.comp_method) + ", which cannot be unpacked here";
    if (stat.size > MAX_CONTAINER_BYTES)
        return "declares " + std::to_string(stat.size) + " bytes: too large for a disc image";
    if (stat.comp_method == ZIP_CM_STORE && stat.size != stat.comp_size)
        return "stored unpacked, but declares " + std::to_string(stat.size) + " bytes in " +
               std::to_string(stat.comp_size);
    if (stat.comp_method == ZIP_CM_DEFLATE && stat.size > stat.comp_size * MAX_DEFLATE_RATIO + DEFLATE_SLACK)
        return "declares " + std::to_string(stat.size) + " bytes, more than its " + std::to_string(stat.comp_size) +
               " packed bytes can hold";
    return {};
}

// Opens an archive over a source (which the archive then owns) and clears the error.
std::variant<zip_t*, OpenFailure> open_source(zip_source_t* source, zip_error_t& error)
{
    zip_t* archive = source != nullptr ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (archive != nullptr) {
        zip_error_fini(&error);
        return archive;
    }
    if (source != nullptr)
        zip_source_free(source);
    OpenFailure failure{zip_error_text(&error), zip_error_code_zip(&error) == ZIP_ER_NOZIP};
    zip_error_fini(&error);
    return failure;
}

} // namespace

bool is_zip(std::span<const std::uint8_t> head)
{
    auto starts_with = [&](const std::array<std::uint8_t, 4>& magic) {
        return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
    };
    return starts_with(LOCAL_RECORD) || starts_with(END_RECORD);
}

bool is_image_name(std::string_view name)
{
    const std::string extension = common::lower_extension(name_inside_gzip(name));
    return std::find(IMAGE_EXTENSIONS.begin(), IMAGE_EXTENSIONS.end(), extension) != IMAGE_EXTENSIONS.end();
}

void ZipArchive::Closer::operator()(zip* archive) const
{
    zip_discard(archive);
}

ZipArchive::ZipArchive(ZipArchive&&) noexcept = default;
ZipArchive& ZipArchive::operator=(ZipArchive&&) noexcept = default;
ZipArchive::~ZipArchive() = default;

std::variant<ZipArchive, OpenFailure> ZipArchive::list(zip* archive, std::vector<std::uint8_t> bytes)
{
    ZipArchive result;
    result.m_bytes = std::move(bytes);
    result.m_zip.reset(archive);
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0)
        return OpenFailure{zip_error_text(zip_get_error(archive))};
    if (static_cast<std::uint64_t>(count) > MAX_ZIP_ENTRIES)
        return OpenFailure{"the archive holds " + std::to_string(count) + " entries, more than the " +
                           std::to_string(MAX_ZIP_ENTRIES) + " read here"};
    for (zip_uint64_t index = 0; index < static_cast<zip_uint64_t>(count); ++index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME) || stat.name == nullptr)
            continue;
        const std::string_view name = stat.name;
        if (!is_image_name(name))
            continue;
        result.m_images.push_back({std::string(name), index, stat.size, entry_problem(stat, name)});
    }
    return result;
}

std::variant<ZipArchive, OpenFailure> open_zip(const std::string& path)
{
    zip_error_t error;
    zip_error_init(&error);
    auto opened = open_source(zip_source_file_create(path.c_str(), 0, -1, &error), error);
    if (auto* failure = std::get_if<OpenFailure>(&opened))
        return std::move(*failure);
    return ZipArchive::list(std::get<zip_t*>(opened), {});
}

std::variant<ZipArchive, OpenFailure> open_zip(std::vector<std::uint8_t> bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    // The source reads the vector's buffer in place; the archive keeps the vector, and a move leaves its buffer
    // where it is.
    auto opened = open_source(zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error), error);
    if (auto* failure = std::get_if<OpenFailure>(&opened))
        return std::move(*failure);
    return ZipArchive::list(std::get<zip_t*>(opened), std::move(bytes));
}

const ZipEntry* ZipArchive::find(std::string_view name) const
{
    for (const ZipEntry& entry : m_images) {
        if (entry.name == name)
            return &entry;
    }
    const std::string lower = common::ascii_lower(name);
    for (const ZipEntry& entry : m_images) {
        if (common::ascii_lower(entry.name) == lower)
            return &entry;
    }
    return nullptr;
}

std::variant<std::vector<std::uint8_t>, OpenFailure> ZipArchive::read(const ZipEntry& entry, std::size_t cap)
{
    auto failure = [&](std::string why) {
        return OpenFailure{entry.name + ": " + why};
    };
    if (!entry.problem.empty())
        return failure(entry.problem);
    if (entry.size > cap)
        return failure("declares " + std::to_string(entry.size) + " bytes: too large for a disc image");
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(m_zip.get(), entry.index, 0), zip_fclose);
    if (!file)
        return failure(zip_error_text(zip_get_error(m_zip.get())));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const zip_int64_t n = zip_fread(file.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0)
            return failure(zip_error_text(zip_file_get_error(file.get())));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < bytes.size())
        return failure("holds " + std::to_string(got) + " bytes, not the " + std::to_string(entry.size) +
                       " it declares");
    // Reading on to the end makes libzip check the CRC, and finds data beyond the declared size.
    std::array<std::uint8_t, 1> extra{};
    const zip_int64_t n = zip_fread(file.get(), extra.data(), extra.size());
    if (n < 0)
        return failure(zip_error_text(zip_file_get_error(file.get())));
    if (n > 0)
        return failure("holds more than the " + std::to_string(entry.size) + " bytes it declares");
    return bytes;
}

} // namespace image
