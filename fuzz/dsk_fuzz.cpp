// Fuzz target: an arbitrary Extended DSK or CPCEMU DSK container, decoded and every sector read. Besides the
// sanitizers it checks that a sector that is not Ok reads as zeros and that the findings stay few.
#include "fuzz_support.h"

#include "image/dsk_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto decoded = image::decode_dsk({data, size});
    if (auto* disc = std::get_if<std::unique_ptr<image::MemoryDisc>>(&decoded))
        fuzz::check_disc(**disc);
    else
        fuzz::require(!std::get<image::OpenFailure>(decoded).reason.empty(), "a refusal says why");
    return 0;
}
