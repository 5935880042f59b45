// Directory listing of a full image: time per listing and sector reads per listing.
#include "image/directory.h"
#include "support/image_builder.h"

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

    const long before = image::SectorSource::total_reads();
    for (auto _ : state) {
        auto rows = image::read_directory(*testing_support::open_source(path));
        benchmark::DoNotOptimize(rows);
    }
    state.counters["reads_per_listing"] = benchmark::Counter(
        static_cast<double>(image::SectorSource::total_reads() - before) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ReadDirectory)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
