// Fuzz target: an arbitrary SAD image, decoded and every sector read, with the checks every decoded disc gets.
#include "fuzz_support.h"

#include "image/sad_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto decoded = image::decode_sad({data, size});
    if (auto* disc = std::get_if<std::unique_ptr<image::MemoryDisc>>(&decoded))
        fuzz::check_disc(**disc);
    else
        fuzz::require(!std::get<common::Error>(decoded).text.empty(), "a refusal says why");
    return 0;
}
