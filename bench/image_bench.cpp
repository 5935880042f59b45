// Directory listing of a full image: time per listing and sector reads per listing; listing as the commands do it,
// opening included, of a plain image against the same image gzipped.
#include "image/directory.h"
#include "image/sector_source.h"
#include "support/image_builder.h"
#include "support/packing.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ReadDirectory(benchmark::State& state)
{
    testing_support::TempDir dir;
    testing_support::ImageBuilder b;
    const std::vector<std::uint8_t> data(9000, 0x55);
    // append, not "f" + std::to_string(): GCC 12 at -O3 gives a false -Wrestrict warning on the latter.
    for (int slot = 0; slot < 80; ++slot)
        b.add_zx_file(slot, 4, std::string("f").append(std::to_string(slot)), data);
    const std::string path = b.write(dir / "full.mgt").string();

    long reads = 0;
    for (auto _ : state) {
        const auto source = testing_support::open_source(path);
        auto rows = image::read_directory(*source);
        benchmark::DoNotOptimize(rows);
        reads += source->reads();
    }
    state.counters["reads_per_listing"] =
        benchmark::Counter(static_cast<double>(reads) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ReadDirectory)->Unit(benchmark::kMicrosecond);

// Argument 0: a plain .mgt; 1: the same image as .mgt.gz, unpacked whole into memory on every open. The files hold
// pseudo-random bytes, so the packed image is nearly as large as the plain one: the slow case for unpacking.
void BM_ListImage(benchmark::State& state)
{
    testing_support::TempDir dir;
    testing_support::ImageBuilder b;
    std::vector<std::uint8_t> data(9000);
    std::uint32_t seed = 0x2545F491;
    for (int slot = 0; slot < 80; ++slot) {
        for (std::uint8_t& byte : data) {
            seed = seed * 1664525 + 1013904223;
            byte = static_cast<std::uint8_t>(seed >> 24);
        }
        b.add_zx_file(slot, 4, std::string("f").append(std::to_string(slot)), data);
    }
    const std::string plain = b.write(dir / "full.mgt").string();
    const std::string packed = (dir / "full.mgt.gz").string();
    testing_support::write_file(packed, testing_support::gzip_bytes(b.bytes()));
    const std::string& path = state.range(0) == 0 ? plain : packed;

    for (auto _ : state) {
        auto opened = image::open_image(path);
        auto rows = image::read_directory(*std::get<image::OpenImage>(opened).source);
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_ListImage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
