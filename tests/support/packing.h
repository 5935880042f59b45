// Packs bytes as the gzip tool does, in-process with zlib, for tests, benchmarks and fuzz seeds that need a packed
// image without starting a program.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace testing_support {

// A gzip file (one member) holding `bytes`.
std::vector<std::uint8_t> gzip_bytes(std::span<const std::uint8_t> bytes);

} // namespace testing_support
