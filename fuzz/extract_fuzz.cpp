// Fuzz target: extraction of every directory slot of an arbitrary image from one open source, as a conversion does.
// Besides the sanitizers it checks the length bound of a ZX file, and that the last file extracted comes out the
// same again from a freshly opened source: nothing of an earlier extraction may leak into a file.
#include "fuzz_support.h"

#include "image/directory.h"
#include "image/extract.h"

namespace {

constexpr std::size_t MAX_ZX_LENGTH = 65535;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "extract");
    image::OpenImage opened = fuzz::open_image(img);
    int last_slot = -1;
    std::optional<image::Extracted> last;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot) {
        auto x = image::extract_file(*opened.source, slot);
        if (!x)
            continue;
        fuzz::require(!x->data.empty() && x->data.size() <= MAX_ZX_LENGTH, "a ZX file is 1 to 65,535 bytes");
        last_slot = slot;
        last = std::move(x);
    }
    if (last_slot < 0)
        return 0;
    const auto again = image::extract_file(*fuzz::open_image(img).source, last_slot);
    fuzz::require(again.has_value() && again->data == last->data,
                  "extracted bytes do not depend on earlier extractions");
    if (last->header[image::tape_header::TYPE] <= image::TAPE_BYTES)
        fuzz::require(again->header == last->header, "a tape header does not depend on earlier extractions");
    return 0;
}
