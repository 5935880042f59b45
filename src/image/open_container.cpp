#include "image/open_container.h"

#include "common/path_text.h"
#include "image/container.h"
#include "image/dsk_source.h"
#include "image/gzip_reader.h"
#include "image/sad_source.h"
#include "image/zip_archive.h"

#include <sys/stat.h>

namespace image {

namespace {

using Opened = std::variant<OpenImage, OpenFailure>;

Opened from_decoded(std::variant<std::unique_ptr<MemoryDisc>, OpenFailure> decoded)
{
    if (auto* failure = std::get_if<OpenFailure>(&decoded))
        return std::move(*failure);
    auto& disc = std::get<std::unique_ptr<MemoryDisc>>(decoded);
    OpenImage image;
    image.layout = Layout::Interleaved; // how the decoded sectors are kept
    image.scannable = true;
    image.raw_size = IMAGE_BYTES;
    image.findings = disc->findings();
    image.source = std::move(disc);
    return image;
}

// The image held in `bytes` under the name `name`: a DSK by its signature, else a SAD or a raw image by the name;
// `unpack` lets a ".gz" name be unpacked first (once: a gzip inside a gzip is no disc image).
Opened open_bytes(std::string_view name, std::vector<std::uint8_t> bytes, bool unpack)
{
    if (unpack && has_gzip_suffix(name)) {
        auto unpacked = gunzip(bytes);
        if (auto* failure = std::get_if<OpenFailure>(&unpacked))
            return std::move(*failure);
        return open_bytes(name_inside_gzip(name), std::get<std::vector<std::uint8_t>>(std::move(unpacked)), false);
    }
    if (is_dsk(bytes))
        return from_decoded(decode_dsk(bytes));
    if (common::lower_extension(name) == "sad")
        return from_decoded(decode_sad(bytes));
    const Layout layout = layout_from_path(name);
    if (layout == Layout::None)
        return OpenFailure{"not a disc image (the name inside must end in .mgt, .dsk, .img or .sad)", true};
    OpenImage image;
    image.layout = layout;
    image.raw_size = static_cast<std::int64_t>(bytes.size());
    image.scannable = image.raw_size == IMAGE_BYTES;
    image.source = std::make_unique<RawImage>(std::make_unique<MemoryBytes>(std::move(bytes)), layout);
    return image;
}

std::string names_text(const std::vector<ZipEntry>& entries)
{
    std::string text;
    for (const ZipEntry& entry : entries)
        text += (text.empty() ? "" : ", ") + entry.name;
    return text;
}

Opened open_archive(const std::string& archive_path, const std::optional<std::string>& inner)
{
    auto opened = open_zip(archive_path);
    if (auto* failure = std::get_if<OpenFailure>(&opened))
        return std::move(*failure);
    ZipArchive& archive = std::get<ZipArchive>(opened);
    const std::vector<ZipEntry>& images = archive.images();
    const ZipEntry* entry = nullptr;
    if (inner) {
        entry = archive.find(*inner);
        if (entry == nullptr)
            return OpenFailure{"the archive holds no disc image named " + *inner +
                               (images.empty() ? std::string() : " (it holds " + names_text(images) + ")")};
    } else if (images.empty()) {
        return OpenFailure{"the archive holds no disc image (.mgt, .dsk, .img, .sad, or one of these gzipped)", true};
    } else if (images.size() > 1) {
        OpenFailure failure{"the archive holds " + std::to_string(images.size()) +
                            " disc images: " + names_text(images) + "; choose one as " + archive_path + "/NAME"};
        for (const ZipEntry& image : images)
            failure.choices.push_back(image.name);
        return failure;
    } else {
        entry = &images.front();
    }
    auto bytes = archive.read(*entry);
    Opened result = std::holds_alternative<OpenFailure>(bytes)
                        ? Opened(std::get<OpenFailure>(std::move(bytes)))
                        : open_bytes(entry->name, std::get<std::vector<std::uint8_t>>(std::move(bytes)), true);
    // An image the archive's one image was taken for is named; one the path names already is.
    if (auto* failure = std::get_if<OpenFailure>(&result); failure != nullptr && !inner)
        failure->reason = entry->name + ": " + failure->reason;
    return result;
}

// "discs.zip/GAME.MGT" names GAME.MGT inside discs.zip: when `path` is no file itself and a part of it ending in
// .zip is one, that part and the rest.
std::optional<std::pair<std::string, std::string>> split_archive_path(const std::string& path)
{
    // Most paths name no archive: no file system call for them.
    if (common::ascii_lower(path).find(".zip/") == std::string::npos)
        return std::nullopt;
    struct stat info
    {};
    if (::stat(path.c_str(), &info) == 0)
        return std::nullopt;
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string head = path.substr(0, slash);
        if (common::lower_extension(head) == "zip" && ::stat(head.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            return std::pair{head, path.substr(slash + 1)};
    }
    return std::nullopt;
}

} // namespace

std::variant<OpenImage, OpenFailure> open_dsk_file(const std::string& path)
{
    auto bytes = read_file_capped(path);
    if (auto* failure = std::get_if<OpenFailure>(&bytes))
        return std::move(*failure);
    return from_decoded(decode_dsk(std::get<std::vector<std::uint8_t>>(bytes)));
}

bool is_container_name(std::string_view path)
{
    const std::string extension = common::lower_extension(path);
    return extension == "zip" || extension == "gz" || extension == "sad";
}

std::optional<std::variant<OpenImage, OpenFailure>> open_container(const std::string& path)
{
    if (const auto split = split_archive_path(path))
        return open_archive(split->first, split->second);
    const std::string extension = common::lower_extension(path);
    if (extension == "zip")
        return open_archive(path, std::nullopt);
    if (extension != "gz" && extension != "sad")
        return std::nullopt;
    auto bytes = read_file_capped(path);
    if (auto* failure = std::get_if<OpenFailure>(&bytes))
        return std::move(*failure);
    return open_bytes(common::file_part(path), std::get<std::vector<std::uint8_t>>(std::move(bytes)), true);
}

} // namespace image
