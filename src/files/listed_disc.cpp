#include "files/listed_disc.h"

#include "common/file_read.h"
#include "image/image_kinds.h"

#include <array>
#include <cerrno>

#include <sys/stat.h>

namespace files {

ListedDisc keep_listed(std::string path, std::string file, image::OpenImage image)
{
    ListedDisc listed;
    // A raw image keeps what it has read and never reads a place twice: read whole now, it holds this disc.
    std::array<std::uint8_t, image::SECTOR_SIZE> scratch{};
    for (int track = 0; track < image::TRACKS_PER_SIDE * image::SIDES; ++track) {
        const auto track_byte =
            static_cast<std::uint8_t>((track / image::SIDES) | (track % image::SIDES != 0 ? image::SIDE_BIT : 0));
        for (int sector = 0; sector < image::SECTORS_PER_TRACK; ++sector)
            image.source->view_sector(track_byte, sector, scratch);
    }
    listed.catalogue = image::read_directory(*image.source);
    const image::ImageKind* kind = image::kind_of_name(path);
    listed.in_place = path == file && kind != nullptr && kind->form == image::ImageForm::Raw &&
                      image.raw_size == image::IMAGE_BYTES &&
                      dynamic_cast<image::RawImage*>(image.source.get()) != nullptr;
    listed.path = std::move(path);
    listed.file = std::move(file);
    listed.image = std::move(image);
    return listed;
}

ListedFile check_listed_file(const ListedDisc& listed)
{
    struct stat info
    {};
    if (::stat(listed.file.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? ListedFile::Gone : ListedFile::Changed;
    if (!listed.in_place)
        return ListedFile::Same;
    const auto disc = listed_disc_value(listed);
    const auto now =
        common::read_whole_file(listed.file, static_cast<std::size_t>(image::IMAGE_BYTES) + 1, "a disc image");
    const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&now);
    const auto* value = std::get_if<DiscValue>(&disc);
    return bytes != nullptr && value != nullptr && *bytes == value->bytes ? ListedFile::Same : ListedFile::Changed;
}

std::variant<DiscValue, std::string> listed_disc_value(const ListedDisc& listed)
{
    return read_disc_value(*listed.image.source, listed.in_place ? listed.image.layout : image::Layout::Interleaved);
}

} // namespace files
