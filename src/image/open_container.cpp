#include "image/open_container.h"

#include "common/path_text.h"
#include "image/container.h"
#include "image/directory.h"
#include "image/dsk_source.h"
#include "image/image_kinds.h"
#include "image/layout_sniff.h"
#include "image/zip_archive.h"

#include <array>

#include <sys/stat.h>

namespace image {

namespace {

Opened from_decoded(std::variant<std::unique_ptr<MemoryDisc>, common::Error> decoded)
{
    if (auto* failure = std::get_if<common::Error>(&decoded))
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

// What a name says about reading the bytes: the decoder of a container kind or the layout of a raw one (.mgt and
// .dsk read alike); both empty for a name of no disc kind.
std::pair<Decoded (*)(std::span<const std::uint8_t>), Layout> reading_of(std::string_view name)
{
    const ImageKind* kind = disc_kind_of_name(name);
    if (kind == nullptr || kind_of_name(name) != kind)
        return {nullptr, Layout::None};
    return {kind->decode, kind->layout};
}

bool names_a_disc(std::string_view name)
{
    return reading_of(name) != std::pair<Decoded (*)(std::span<const std::uint8_t>), Layout>{nullptr, Layout::None};
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

// A packed file's image under the name it was packed from: "GAME.MGT" for "GAME.MGT.gz". Where the name stored with
// the packed bytes (a gzip header's) names an image of another kind, or the file's name names none ("disc.gz"), the
// stored name decides, and a finding says so when the two names disagree.
Opened open_packed(const ImageKind& packing, std::string_view name, std::span<const std::uint8_t> packed)
{
    std::string stored;
    auto unpacked = packing.unpack(packed, MAX_CONTAINER_BYTES, &stored);
    if (auto* failure = std::get_if<common::Error>(&unpacked))
        return std::move(*failure);
    auto& bytes = std::get<std::vector<std::uint8_t>>(unpacked);
    std::string inner = name_inside(packing, name);
    std::string note;
    // The packing keeps the file name alone; a folder in a name from elsewhere is dropped.
    if (const std::size_t cut = stored.find_last_of("/\\"); cut != std::string::npos)
        stored.erase(0, cut + 1);
    // A kind known by its signature is that kind whatever either name says.
    if (kind_by_signature(bytes) == nullptr && names_a_disc(stored) && reading_of(stored) != reading_of(inner)) {
        if (names_a_disc(inner))
            note = "layout taken from the stored name " + shown_name(stored) + ", not from the file name";
        inner = stored;
    }
    Opened opened = open_bytes(inner, std::move(bytes), false);
    if (note.empty())
        return opened;
    if (auto* image = std::get_if<OpenImage>(&opened))
        image->notes.push_back(note);
    else if (auto* failure = std::get_if<common::Error>(&opened))
        failure->text.insert(0, note + ": ");
    return opened;
}

// The image held in `bytes` under the name `name`: a kind known by its signature, else a container or a raw image
// by the name; `unpack` lets a packed name be unpacked first (once: a packed image inside a packed one is no disc).
Opened open_bytes(std::string_view name, std::vector<std::uint8_t> bytes, bool unpack)
{
    const ImageKind* kind = kind_of_name(name);
    if (unpack && kind != nullptr && kind->form == ImageForm::Packed)
        return open_packed(*kind, name, bytes);
    if (const ImageKind* signed_kind = kind_by_signature(bytes))
        return from_decoded(signed_kind->decode(bytes));
    if (kind != nullptr && kind->form == ImageForm::Container)
        return from_decoded(kind->decode(bytes));
    if (kind == nullptr || kind->form != ImageForm::Raw)
        return common::Error{"not a disc image (the name inside must end in " + extensions_text(KindSet::Discs) + ")",
                             common::ErrorKind::NotAnImage};
    OpenImage image;
    image.layout = kind->layout;
    image.raw_size = static_cast<std::int64_t>(bytes.size());
    image.scannable = image.raw_size == IMAGE_BYTES;
    auto raw = std::make_unique<MemoryBytes>(std::move(bytes));
    if (const auto by_content = layout_by_content(*raw); by_content && *by_content != image.layout) {
        image.layout = *by_content;
        image.layout_by_content = true;
        image.notes.push_back(layout_note(*by_content));
    }
    image.source = std::make_unique<RawImage>(std::move(raw), image.layout);
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
    if (auto* failure = std::get_if<common::Error>(&opened))
        return std::move(*failure);
    ZipArchive& archive = std::get<ZipArchive>(opened);
    const std::vector<ZipEntry>& images = archive.images();
    const ZipEntry* entry = nullptr;
    if (inner) {
        const std::vector<const ZipEntry*> named = archive.find(*inner);
        if (named.empty())
            return common::Error{"the archive holds no disc image named " + *inner +
                                 (images.empty() ? std::string() : " (it holds " + names_text(images) + ")")};
        if (named.size() > 1)
            return common::Error{"the name is ambiguous: the archive holds " + std::to_string(named.size()) +
                                 " disc images named " + *inner + " in any case (" + names_text(named) + ")"};
        entry = named.front();
    } else if (images.empty()) {
        return common::Error{"the archive holds no disc image (" + extensions_text(KindSet::Discs, ", ") +
                                 ", or one of these " + packed_text() + ")",
                             common::ErrorKind::NotAnImage};
    } else if (images.size() > 1) {
        ArchiveChoice choice{archive_path, {}};
        for (const ZipEntry& image : images)
            choice.names.push_back(image.name);
        return choice;
    } else {
        entry = &images.front();
    }
    auto bytes = archive.read(*entry);
    Opened result = std::holds_alternative<common::Error>(bytes)
                        ? Opened(std::get<common::Error>(std::move(bytes)))
                        : open_bytes(entry->name, std::get<std::vector<std::uint8_t>>(std::move(bytes)), true);
    // An image the archive's one image was taken for is named; one the path names already is.
    if (auto* failure = std::get_if<common::Error>(&result); failure != nullptr && !inner)
        failure->text = entry->name + ": " + failure->text;
    return result;
}

// "discs.zip/GAME.MGT" names GAME.MGT inside discs.zip: when `path` is no file itself and a part of it ending in
// .zip is one, that part and the rest.
std::optional<std::pair<std::string, std::string>> split_archive_path(const std::string& path)
{
    // Most paths name no archive: no file system call for them.
    const std::string lower = common::ascii_lower(path);
    if (std::none_of(image_kinds().begin(), image_kinds().end(), [&](const ImageKind& kind) {
            return kind.form == ImageForm::Archive &&
                   std::any_of(kind.extensions.begin(), kind.extensions.end(), [&](std::string_view extension) {
                       std::string part = ".";
                       part.append(extension).append("/");
                       return lower.find(part) != std::string::npos;
                   });
        }))
        return std::nullopt;
    struct stat info
    {};
    if (::stat(path.c_str(), &info) == 0)
        return std::nullopt;
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string head = path.substr(0, slash);
        const ImageKind* kind = kind_of_name(head);
        if (kind != nullptr && kind->form == ImageForm::Archive && ::stat(head.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            return std::pair{head, path.substr(slash + 1)};
    }
    return std::nullopt;
}

// A raw image in an archive, unpacked only as far as its directory's last track in either layout (the rest as it
// is read), so that listing archived images unpacks a twentieth of each; std::nullopt where the entry is another
// kind by its signature and is read whole. Damage met in the directory is a failure, as it is in a whole read.
std::optional<std::variant<OpenImage, common::Error>> open_to_directory(ZipArchive& archive, const ZipEntry& entry,
                                                                        const ImageKind& kind)
{
    auto opened = archive.open_entry(entry);
    if (auto* failure = std::get_if<common::Error>(&opened))
        return std::move(*failure);
    std::unique_ptr<ZipEntryBytes> bytes = std::move(std::get<std::unique_ptr<ZipEntryBytes>>(opened));
    std::array<std::uint8_t, SECTOR_SIZE> first{};
    bytes->read_at(0, first);
    const auto last_track =
        static_cast<std::uint8_t>(decode_directory_size(std::span(first).first(entry::SIZE)).tracks - 1);
    const std::int64_t end = std::max(sector_offset(Layout::Interleaved, last_track, SECTORS_PER_TRACK - 1),
                                      sector_offset(Layout::Sequential, last_track, SECTORS_PER_TRACK - 1)) +
                             static_cast<std::int64_t>(SECTOR_SIZE);
    if (!bytes->unpack(static_cast<std::uint64_t>(end)))
        return common::Error{bytes->failure()};
    if (kind_by_signature(first) != nullptr)
        return std::nullopt;
    OpenImage image;
    image.layout = kind.layout;
    image.raw_size = static_cast<std::int64_t>(bytes->size());
    image.scannable = image.raw_size == IMAGE_BYTES;
    image.source = std::make_unique<RawImage>(std::move(bytes), kind.layout);
    return image;
}

} // namespace

std::variant<OpenImage, common::Error> open_decoded_file(const std::string& path,
                                                         Decoded (*decode)(std::span<const std::uint8_t>))
{
    auto bytes = read_file_capped(path);
    if (auto* failure = std::get_if<common::Error>(&bytes))
        return std::move(*failure);
    Opened opened = from_decoded(decode(std::get<std::vector<std::uint8_t>>(bytes)));
    if (auto* failure = std::get_if<common::Error>(&opened))
        return std::move(*failure);
    return std::get<OpenImage>(std::move(opened));
}

std::variant<OpenImage, common::Error> open_dsk_file(const std::string& path)
{
    return open_decoded_file(path, decode_dsk);
}

std::variant<OpenImage, common::Error> open_archive_entry(ZipArchive& archive, const ZipEntry& entry,
                                                          bool directory_only)
{
    const ImageKind* kind = kind_of_name(entry.name);
    if (directory_only && kind != nullptr && kind->form == ImageForm::Raw) {
        if (auto opened = open_to_directory(archive, entry, *kind))
            return std::move(*opened);
    }
    auto bytes = archive.read(entry);
    if (auto* failure = std::get_if<common::Error>(&bytes))
        return std::move(*failure);
    Opened opened = open_bytes(entry.name, std::get<std::vector<std::uint8_t>>(std::move(bytes)), true);
    if (auto* image = std::get_if<OpenImage>(&opened))
        return std::move(*image);
    if (auto* failure = std::get_if<common::Error>(&opened))
        return std::move(*failure);
    return common::Error{std::get<ArchiveChoice>(opened).reason()};
}

std::string ArchiveChoice::reason() const
{
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return "the archive holds " + std::to_string(names.size()) + " disc images: " + list + "; choose one as " +
           archive + "/NAME";
}

bool is_container_name(std::string_view path)
{
    const ImageKind* kind = kind_of_name(path);
    return kind != nullptr && kind->form != ImageForm::Raw;
}

std::optional<Opened> open_container(const std::string& path)
{
    if (const auto split = split_archive_path(path))
        return open_archive(split->first, split->second);
    const ImageKind* kind = kind_of_name(path);
    if (kind == nullptr || kind->form == ImageForm::Raw)
        return std::nullopt;
    if (kind->form == ImageForm::Archive)
        return open_archive(path, std::nullopt);
    auto bytes = read_file_capped(path);
    if (auto* failure = std::get_if<common::Error>(&bytes))
        return std::move(*failure);
    return open_bytes(common::file_part(path), std::get<std::vector<std::uint8_t>>(std::move(bytes)), true);
}

} // namespace image
