// Fuzz target: unpacking arbitrary bytes as gzip. Besides the sanitizers it checks that the output never exceeds
// the cap, whatever the input claims, and that a stored name stays within its bound. The cap is smaller than the
// program's so that runs stay quick and the refusal of a bomb is reached often.
#include "fuzz_support.h"

#include "image/gzip_reader.h"

namespace {
constexpr std::size_t CAP = 256 * 1024;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string stored;
    const auto result = image::gunzip({data, size}, CAP, &stored);
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&result)) {
        fuzz::require(bytes->size() <= CAP, "unpacked bytes stay under the cap");
        fuzz::require(stored.size() <= image::MAX_STORED_NAME, "a stored name stays under its bound");
    } else
        fuzz::require(!std::get<common::Error>(result).text.empty(), "a refusal says why");
    return 0;
}
