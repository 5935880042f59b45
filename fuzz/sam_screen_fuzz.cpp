// Fuzz target: a SAM screen from arbitrary bytes. The first input byte is the mode byte of the directory entry, the
// rest the file's data, copied into a buffer exactly as long as the data so that the address sanitizer sees any
// read past its end. A screen either decodes to a full picture of its mode's size or is refused in words.
#include "fuzz_support.h"

#include "inspect/sam_screen.h"

#include <variant>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size < 1)
        return 0;
    const int mode = input[0];
    const std::vector<std::uint8_t> data(input + 1, input + size);
    const auto decoded = inspect::decode_sam_screen(data, mode);
    if (const auto* picture = std::get_if<inspect::SamPicture>(&decoded)) {
        fuzz::require(mode < inspect::SAM_MODES && data.size() >= inspect::sam_screen_bytes(mode),
                      "a picture comes from a known mode and a whole display memory");
        fuzz::require(picture->height == inspect::SCREEN_HEIGHT &&
                          picture->width == (mode == 2 ? inspect::SAM_WIDE_WIDTH : inspect::SCREEN_WIDTH) &&
                          picture->pixels.size() == static_cast<std::size_t>(picture->width * picture->height),
                      "a picture has its mode's size");
    } else {
        fuzz::require(!std::get<std::string>(decoded).empty(), "a refusal says why");
    }
    return 0;
}
