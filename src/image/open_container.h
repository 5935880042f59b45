// Opening the images that come packed or in a container: gzip files (.mgt.gz, .img.gz, ...), zip archives (of one
// image, or of several with one chosen as ARCHIVE.zip/INNER), Extended and CPCEMU DSK containers recognised by
// their signature whatever the name, and SAD images. open_image asks here first and keeps its raw-image rules for
// the rest. A packed image is unpacked once into memory under the cap, never to disc.
#pragma once

#include "image/image_kinds.h"
#include "image/sector_source.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace image {

// The container `path` names, opened, or why it cannot be; std::nullopt when `path` is no container by its name
// (a container, packed or archive kind, or ARCHIVE.zip/INNER for a file inside an archive), so the raw-image rules
// apply.
std::optional<Opened> open_container(const std::string& path);

// The DSK container at `path` (found so by its signature), opened, or why it cannot be.
std::variant<OpenImage, common::Error> open_dsk_file(const std::string& path);

// The file at `path` read whole and decoded by a container kind's decoder (the kind found by its signature).
std::variant<OpenImage, common::Error> open_decoded_file(const std::string& path,
                                                         Decoded (*decode)(std::span<const std::uint8_t>));

class ZipArchive;
struct ZipEntry;

// One image entry of an open archive, read and opened as ARCHIVE.zip/NAME would open it: for walking through every
// image of an archive that is read once. With `directory_only` a raw image is unpacked only as far as its
// directory (the rest when it is read), for a command that reads the directories alone; what lies beyond the
// directory is then not checked for damage until it is read.
std::variant<OpenImage, common::Error> open_archive_entry(ZipArchive& archive, const ZipEntry& entry,
                                                          bool directory_only = false);

// Whether a file name (any case) is one of the containers open_container reads by name (image_kinds.h: every kind
// but the raw ones).
bool is_container_name(std::string_view path);

} // namespace image
