// The gzip and zip readers of the web page's build, which has no zlib nor minizip: the page unpacks a gzipped image
// itself before the core sees it, and zip archives are read by the desktop programs. What reaches these is refused
// with the reason.
#include "image/gzip_reader.h"
#include "image/zip_archive.h"

#include <utility>

namespace image {

namespace {

const char* const NO_GZIP = "gzip data inside a file is not unpacked in the browser";
const char* const NO_ZIP = "zip archives open in the desktop program, not in the browser";

} // namespace

std::variant<std::vector<std::uint8_t>, OpenFailure> gunzip(std::span<const std::uint8_t>, std::size_t, std::string*)
{
    return OpenFailure{NO_GZIP};
}

struct ZipInput
{};

struct Inflater
{};

ZipEntryBytes::~ZipEntryBytes() = default;

std::size_t ZipEntryBytes::read_at(std::uint64_t, std::span<std::uint8_t>)
{
    return 0;
}

bool ZipEntryBytes::unpack(std::uint64_t)
{
    return false;
}

ZipArchive::ZipArchive(ZipArchive&& other) noexcept
    : m_input(std::move(other.m_input)), m_zip(std::exchange(other.m_zip, nullptr)), m_images(std::move(other.m_images))
{}

ZipArchive& ZipArchive::operator=(ZipArchive&& other) noexcept
{
    m_input = std::move(other.m_input);
    m_zip = std::exchange(other.m_zip, nullptr);
    m_images = std::move(other.m_images);
    return *this;
}

ZipArchive::~ZipArchive() = default;

std::vector<const ZipEntry*> ZipArchive::find(std::string_view) const
{
    return {};
}

std::variant<std::vector<std::uint8_t>, OpenFailure> ZipArchive::read(const ZipEntry&, std::size_t)
{
    return OpenFailure{NO_ZIP};
}

std::variant<std::unique_ptr<ZipEntryBytes>, OpenFailure> ZipArchive::open_entry(const ZipEntry&, std::size_t)
{
    return OpenFailure{NO_ZIP};
}

std::variant<ZipArchive, OpenFailure> open_zip(const std::string&)
{
    return OpenFailure{NO_ZIP};
}

std::variant<ZipArchive, OpenFailure> open_zip(std::vector<std::uint8_t>)
{
    return OpenFailure{NO_ZIP};
}

} // namespace image
