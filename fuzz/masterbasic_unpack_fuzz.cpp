// Fuzz target: MasterBASIC's unpacking of packed saves from arbitrary bytes. The first input byte chooses the
// packing (even: by bytes; odd: by nibbles, of the screen mode (byte / 2) % 4 + 1), the rest is the packed data,
// copied into a buffer exactly as long so that the address sanitizer sees any read past its end. Besides that it
// checks the unpacker's promises: never more than its bound, and a screen that ends with its palette's 0xFF.
#include "fuzz_support.h"

#include "image/masterbasic_unpack.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::vector<std::uint8_t> packed(input + 1, input + size);
    if (input[0] % 2 == 0) {
        const auto out = image::unpack_by_bytes(packed);
        fuzz::require(!out || out->size() <= image::MAX_UNPACKED_BYTES + 256, "unpacking by bytes stays bounded");
        return 0;
    }
    const int mode = (input[0] / 2) % 4 + 1;
    const auto out = image::unpack_by_nibbles(packed, mode);
    fuzz::require(
        !out || (out->size() <= image::MAX_UNPACKED_BYTES + packed.size() && !out->empty() && out->back() == 0xFF),
        "a screen unpacked by nibbles is bounded and ends with its palette's 0xFF");
    return 0;
}
