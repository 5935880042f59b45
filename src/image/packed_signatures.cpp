// How packed images and archives are told by their first bytes and their entries' names. Kept apart from the
// readers, which need zlib and minizip, so that a build without those still knows these files when it meets them.
#include "image/gzip_reader.h"
#include "image/image_kinds.h"
#include "image/zip_archive.h"

#include <algorithm>
#include <array>

namespace image {

namespace {

constexpr std::array<std::uint8_t, 2> GZIP_MAGIC = {0x1F, 0x8B};
constexpr std::array<std::uint8_t, 4> LOCAL_RECORD = {'P', 'K', 3, 4};
constexpr std::array<std::uint8_t, 4> END_RECORD = {'P', 'K', 5, 6}; // an archive with no entries

} // namespace

bool is_gzip(std::span<const std::uint8_t> head)
{
    return head.size() >= GZIP_MAGIC.size() && std::equal(GZIP_MAGIC.begin(), GZIP_MAGIC.end(), head.begin());
}

bool is_zip(std::span<const std::uint8_t> head)
{
    auto starts_with = [&](const std::array<std::uint8_t, 4>& magic) {
        return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
    };
    return starts_with(LOCAL_RECORD) || starts_with(END_RECORD);
}

bool is_image_name(std::string_view name)
{
    return disc_kind_of_name(name) != nullptr;
}

} // namespace image
