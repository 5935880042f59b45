// Opening the images that come packed or in a container: gzip files (.mgt.gz, .img.gz, ...), zip archives (of one
// image, or of several with one chosen as ARCHIVE.zip/INNER), Extended and CPCEMU DSK containers recognised by
// their signature whatever the name, and SAD images. open_image asks here first and keeps its raw-image rules for
// the rest. A packed image is unpacked once into memory under the cap, never to disc.
#pragma once

#include "image/sector_source.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace image {

// The container `path` names, opened, or why it cannot be; std::nullopt when `path` is no container by its name
// (.zip, .gz, .sad, or ARCHIVE.zip/INNER for a file inside an archive), so the raw-image rules apply.
std::optional<std::variant<OpenImage, OpenFailure>> open_container(const std::string& path);

// The DSK container at `path` (found so by its signature), opened, or why it cannot be.
std::variant<OpenImage, OpenFailure> open_dsk_file(const std::string& path);

// Whether a file name (any case) is one of the containers open_container reads by name: .zip, .gz, .sad.
bool is_container_name(std::string_view path);

} // namespace image
