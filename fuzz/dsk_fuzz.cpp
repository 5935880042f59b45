// Fuzz target: an arbitrary Extended DSK or CPCEMU DSK container, decoded and every sector read. Besides the
// sanitizers it checks that a sector that is not Ok reads as zeros and that the findings stay few. The same bytes go
// through the check a DSK file passes before libdsk opens it as a stand-in drive.
#include "fuzz_support.h"

#include "image/dsk_source.h"
#include "transfer/libdsk_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto decoded = image::decode_dsk({data, size});
    if (auto* disc = std::get_if<std::unique_ptr<image::MemoryDisc>>(&decoded))
        fuzz::check_disc(**disc);
    else
        fuzz::require(!std::get<common::Error>(decoded).text.empty(), "a refusal says why");
    const std::string problem = transfer::dsk_stand_in_problem({data, size});
    fuzz::require(problem.empty() || problem.rfind("track ", 0) == 0 || size < 256, "a refusal names the track");
    return 0;
}
