// Extraction and tape conversion of a full disc: 80 files of 9,000 bytes (1,440 of the 1,520 sectors the image
// builder hands out), every eighth a BASIC program so the loader rewrite runs too.
#include "image/directory.h"
#include "support/image_builder.h"
#include "tape/convert.h"

#include <benchmark/benchmark.h>

namespace {

constexpr std::size_t FILE_SIZE = 9000;
constexpr int BASIC_EVERY = 8;

struct FullDisc
{
    testing_support::TempDir dir;
    std::string path;
    std::vector<tape::SelectedRow> rows;

    FullDisc()
    {
        testing_support::ImageBuilder b;
        std::vector<std::uint8_t> data(FILE_SIZE);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 31 + 7);
        for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot) {
            // append, not "f" + std::to_string(): GCC 12 at -O3 gives a false -Wrestrict warning on the latter.
            const std::string name = std::string("f").append(std::to_string(slot));
            b.add_zx_file(slot, slot % BASIC_EVERY == 0 ? 1 : 4, name, data);
            rows.push_back({name, slot});
        }
        path = b.write(dir / "full.mgt").string();
    }
};

void BM_ExtractAllFiles(benchmark::State& state)
{
    FullDisc disc;
    long reads = 0;
    for (auto _ : state) {
        std::size_t total = 0;
        const auto source = testing_support::open_source(disc.path);
        for (const tape::SelectedRow& row : disc.rows) {
            if (const auto x = image::extract_file(*source, row.slot))
                total += x->data.size();
        }
        benchmark::DoNotOptimize(total);
        reads += source->reads();
    }
    state.SetBytesProcessed(state.iterations() * image::DIRECTORY_SLOTS * static_cast<std::int64_t>(FILE_SIZE));
    state.counters["reads_per_disc"] =
        benchmark::Counter(static_cast<double>(reads) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ExtractAllFiles)->Unit(benchmark::kMicrosecond);

void BM_ConvertFullDisc(benchmark::State& state)
{
    FullDisc disc;
    const std::string tape_path = (disc.dir / "full.tap").string();
    for (auto _ : state) {
        auto result =
            tape::convert_files(*testing_support::open_source(disc.path), disc.path, disc.rows, true, tape_path);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * image::DIRECTORY_SLOTS * static_cast<std::int64_t>(FILE_SIZE));
}
BENCHMARK(BM_ConvertFullDisc)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
