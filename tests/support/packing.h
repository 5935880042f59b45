// Packs bytes as the gzip tool does, in-process with zlib, for tests, benchmarks and fuzz seeds that need a packed
// image without starting a program.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace testing_support {

// A gzip file (one member) holding `bytes`, with `stored_name` in its header when it is not empty (as `gzip FILE`
// stores the file's name).
std::vector<std::uint8_t> gzip_bytes(std::span<const std::uint8_t> bytes, const std::string& stored_name = {});

} // namespace testing_support
