// Fuzz target: extraction of every directory slot of an arbitrary image with one workspace, as a conversion does.
// Besides the sanitizers it checks the length bound of a ZX file, and that the last file extracted comes out the
// same from a workspace with another history: nothing of an earlier extraction may leak into a file.
#include "fuzz_support.h"

#include "image/directory.h"
#include "tape/extract.h"

#include <algorithm>

namespace {

constexpr std::int32_t MAX_ZX_LENGTH = 65535;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tape::Workspace ws;
    static tape::Workspace other;
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "extract");
    int last_slot = -1;
    std::int32_t last_length = 0;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot) {
        const std::int32_t length = tape::extract_file(img.path, img.layout, slot, ws);
        fuzz::require(length >= 0 && length <= MAX_ZX_LENGTH, "a ZX file is at most 65,535 bytes");
        if (length > 0) {
            last_slot = slot;
            last_length = length;
        }
    }
    if (last_slot < 0)
        return 0;
    // `ws` last held other files of this image; `other` holds whatever an earlier input left in it.
    const std::int32_t again = tape::extract_file(img.path, img.layout, last_slot, ws);
    fuzz::require(again == last_length, "extraction gives the same length twice");
    fuzz::require(tape::extract_file(img.path, img.layout, last_slot, other) == again,
                  "extraction gives the same length in any workspace");
    const auto n = static_cast<std::size_t>(again);
    fuzz::require(std::equal(ws.data.begin(), ws.data.begin() + static_cast<std::ptrdiff_t>(n), other.data.begin()),
                  "extracted bytes do not depend on earlier extractions");
    if (ws.header[tape::header::TYPE] <= tape::TAPE_BYTES)
        fuzz::require(ws.header == other.header, "a tape header does not depend on earlier extractions");
    return 0;
}
