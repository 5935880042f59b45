// gzip-compressed images (.mgt.gz, .dsk.gz, .img.gz, in any case): recognised by their first two bytes and unpacked
// whole into memory with zlib, never beyond a cap, so that a small file that would unpack to gigabytes is refused
// instead of filling memory. The checksum and length that end each gzip member are checked; several members one
// after another (what `cat a.gz b.gz` makes) unpack as one.
#pragma once

#include "image/container.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace image {

// Whether bytes start as a gzip file does (1F 8B).
bool is_gzip(std::span<const std::uint8_t> head);

// The unpacked bytes of a gzip file. Fails, saying why, when the data is damaged or cut off, or unpacks to more
// than `cap` bytes. When `stored_name` is given it receives the name the first member's header stores (the packed
// file's name, as `gzip FILE` keeps it; at most MAX_STORED_NAME bytes), or stays empty when there is none.
std::variant<std::vector<std::uint8_t>, common::Error>
gunzip(std::span<const std::uint8_t> packed, std::size_t cap = MAX_CONTAINER_BYTES, std::string* stored_name = nullptr);

// Longer stored names are cut to this many bytes.
inline constexpr std::size_t MAX_STORED_NAME = 255;

} // namespace image
