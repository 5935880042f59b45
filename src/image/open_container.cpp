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

// What a name says the bytes are: a SAD container, or a raw image of its layout (Layout::None: neither).
struct NamedKind
{
    bool sad = false;
    Layout layout = Layout::None;

    bool any() const { return sad || layout != Layout::None; }
    bool operator==(const NamedKind&) const = default;
};

NamedKind kind_of(std::string_view name)
{
    return {common::lower_extension(name) == "sad", layout_from_path(name)};
}

// A name stored inside a file, fit to show on one line: control bytes become '?'.
std::string shown_name(std::string name)
{
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return name;
}

Opened open_bytes(std::string_view name, std::vector<std::uint8_t> bytes, bool unpack);

// A gzip file's image under the name it was packed from: "GAME.MGT" for "GAME.MGT.gz". Where the name stored in the
// gzip header names an image of another kind, or the file's name names none ("disc.gz"), the stored name decides,
// and a finding says so when the two names disagree.
Opened open_gzip(std::string_view name, std::span<const std::uint8_t> packed)
{
    std::string stored;
    auto unpacked = gunzip(packed, MAX_CONTAINER_BYTES, &stored);
    if (auto* failure = std::get_if<OpenFailure>(&unpacked))
        return std::move(*failure);
    auto& bytes = std::get<std::vector<std::uint8_t>>(unpacked);
    std::string inner = name_inside_gzip(name);
    std::string note;
    // gzip keeps the file name alone; a folder in a name from elsewhere is dropped.
    if (const std::size_t cut = stored.find_last_of("/\\"); cut != std::string::npos)
        stored.erase(0, cut + 1);
    // A DSK is known by its signature whatever either name says.
    if (!is_dsk(bytes) && kind_of(stored).any() && kind_of(stored) != kind_of(inner)) {
        if (kind_of(inner).any())
            note = "layout taken from the stored name " + shown_name(stored) + ", not from the file name";
        inner = stored;
    }
    Opened opened = open_bytes(inner, std::move(bytes), false);
    if (note.empty())
        return opened;
    if (auto* image = std::get_if<OpenImage>(&opened))
        image->findings.insert(image->findings.begin(), note);
    else
        std::get<OpenFailure>(opened).reason.insert(0, note + ": ");
    return opened;
}

// The image held in `bytes` under the name `name`: a DSK by its signature, else a SAD or a raw image by the name;
// `unpack` lets a ".gz" name be unpacked first (once: a gzip inside a gzip is no disc image).
Opened open_bytes(std::string_view name, std::vector<std::uint8_t> bytes, bool unpack)
{
    if (unpack && has_gzip_suffix(name))
        return open_gzip(name, bytes);
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

std::string names_text(const std::vector<const ZipEntry*>& entries)
{
    std::string text;
    for (const ZipEntry* entry : entries)
        text += (text.empty() ? "" : ", ") + entry->name;
    return text;
}

std::string names_text(const std::vector<ZipEntry>& entries)
{
    std::vector<const ZipEntry*> all;
    for (const ZipEntry& entry : entries)
        all.push_back(&entry);
    return names_text(all);
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
        const std::vector<const ZipEntry*> named = archive.find(*inner);
        if (named.empty())
            return OpenFailure{"the archive holds no disc image named " + *inner +
                               (images.empty() ? std::string() : " (it holds " + names_text(images) + ")")};
        if (named.size() > 1)
            return OpenFailure{"the name is ambiguous: the archive holds " + std::to_string(named.size()) +
                               " disc images named " + *inner + " in any case (" + names_text(named) + ")"};
        entry = named.front();
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
