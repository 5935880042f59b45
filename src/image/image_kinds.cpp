#include "image/image_kinds.h"

#include "common/path_text.h"
#include "image/dsk_source.h"
#include "image/gzip_reader.h"
#include "image/sad_source.h"
#include "image/zip_archive.h"

#include <algorithm>
#include <array>

namespace image {
namespace {

constexpr std::array<std::string_view, 1> MGT = {"mgt"};
constexpr std::array<std::string_view, 1> DSK = {"dsk"};
constexpr std::array<std::string_view, 1> IMG = {"img"};
constexpr std::array<std::string_view, 1> SAD = {"sad"};
constexpr std::array<std::string_view, 1> GZ = {"gz"};
constexpr std::array<std::string_view, 1> ZIP = {"zip"};

Unpacked unpack_gzip(std::span<const std::uint8_t> packed, std::size_t cap, std::string* stored_name)
{
    return gunzip(packed, cap, stored_name);
}

// The order is the order of every text that lists the extensions.
constexpr std::array<ImageKind, 7> KINDS = {{
    {"MGT", MGT, ImageForm::Raw, Layout::Interleaved},
    {"DSK", DSK, ImageForm::Raw, Layout::Interleaved},
    {"IMG", IMG, ImageForm::Raw, Layout::Sequential},
    {"Extended DSK", {}, ImageForm::Container, Layout::None, is_dsk, "a DSK image", true, decode_dsk},
    {"SAD", SAD, ImageForm::Container, Layout::None, is_sad, "a SAD image", false, decode_sad},
    {"gzipped", GZ, ImageForm::Packed, Layout::None, is_gzip, "a gzip file", false, nullptr, unpack_gzip},
    {"zip", ZIP, ImageForm::Archive, Layout::None, is_zip, "a zip archive"},
}};

bool in_set(const ImageKind& kind, KindSet set)
{
    switch (set) {
    case KindSet::All:
        return true;
    case KindSet::Discs:
        return kind.is_disc();
    case KindSet::Raw:
        return kind.form == ImageForm::Raw;
    }
    return false;
}

std::vector<std::string_view> extensions_of(KindSet set)
{
    std::vector<std::string_view> all;
    for (const ImageKind& kind : KINDS) {
        if (in_set(kind, set))
            all.insert(all.end(), kind.extensions.begin(), kind.extensions.end());
    }
    return all;
}

} // namespace

std::span<const ImageKind> image_kinds()
{
    return KINDS;
}

const ImageKind* kind_of_name(std::string_view path)
{
    const std::string extension = common::lower_extension(path);
    for (const ImageKind& kind : KINDS) {
        if (std::find(kind.extensions.begin(), kind.extensions.end(), extension) != kind.extensions.end())
            return &kind;
    }
    return nullptr;
}

const ImageKind* kind_signed_by(std::span<const std::uint8_t> head)
{
    for (const ImageKind& kind : KINDS)
        if (kind.signature != nullptr && kind.signature(head))
            return &kind;
    return nullptr;
}

const ImageKind* kind_by_signature(std::span<const std::uint8_t> head)
{
    for (const ImageKind& kind : KINDS) {
        if (kind.whatever_name && kind.signature(head))
            return &kind;
    }
    return nullptr;
}

std::string name_inside(const ImageKind& packed, std::string_view name)
{
    for (const std::string_view extension : packed.extensions) {
        // A name that is the extension alone (".gz") packs no name.
        if (name.size() > extension.size() + 1 && common::lower_extension(name) == extension)
            return std::string(name.substr(0, name.size() - extension.size() - 1));
    }
    return std::string(name);
}

const ImageKind* disc_kind_of_name(std::string_view name)
{
    const ImageKind* kind = kind_of_name(name);
    if (kind != nullptr && kind->form == ImageForm::Packed)
        kind = kind_of_name(name_inside(*kind, name));
    return kind != nullptr && kind->is_disc() ? kind : nullptr;
}

std::string extensions_text(KindSet set, std::string_view last)
{
    const std::vector<std::string_view> extensions = extensions_of(set);
    std::string text;
    for (std::size_t at = 0; at < extensions.size(); ++at) {
        if (at > 0)
            text += at + 1 == extensions.size() ? last : std::string_view(", ");
        text += ".";
        text += extensions[at];
    }
    return text;
}

std::string layouts_text()
{
    std::vector<std::pair<Layout, std::string>> groups;
    for (const ImageKind& kind : KINDS) {
        if (kind.form != ImageForm::Raw)
            continue;
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == kind.layout; });
        if (group == groups.end())
            group = groups.insert(groups.end(), {kind.layout, {}});
        for (const std::string_view extension : kind.extensions)
            group->second += (group->second.empty() ? "." : "/.") + std::string(extension);
    }
    std::string text;
    for (std::size_t at = 0; at < groups.size(); ++at)
        text += (at == 0 ? "" : at + 1 == groups.size() ? " or " : ", ") + groups[at].second;
    return text;
}

std::string name_pattern(KindSet set)
{
    std::string text;
    for (const std::string_view extension : extensions_of(set))
        text += (text.empty() ? "*." : ";*.") + std::string(extension);
    return text;
}

std::string packed_text()
{
    std::string text;
    for (const ImageKind& kind : KINDS) {
        if (kind.form == ImageForm::Packed)
            text += (text.empty() ? "" : " or ") + std::string(kind.label);
    }
    return text;
}

bool is_any_image_name(std::string_view path)
{
    return kind_of_name(path) != nullptr;
}

Layout layout_from_path(std::string_view path)
{
    const ImageKind* kind = kind_of_name(path);
    return kind != nullptr && kind->form == ImageForm::Raw ? kind->layout : Layout::None;
}

} // namespace image
