// Inspection costs: the integrity scan of a full image (time and sector reads), a screen decoded through the
// pixel pattern table against a plain per-pixel decode of the same screen (the ratios are printed at the end),
// the one-off cost of building the table, and a file manager's thumbnail of each real disc.
#include "image/extract.h"
#include "image/geometry.h"
#include "image/sector_source.h"
#include "inspect/png_writer.h"
#include "inspect/scan.h"
#include "inspect/screen.h"
#include "inspect/thumbnail.h"
#include "support/image_builder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include <unistd.h>

namespace {

constexpr std::size_t FILES = 80;

void BM_ScanFullImage(benchmark::State& state)
{
    testing_support::TempDir dir;
    testing_support::ImageBuilder b;
    // 19 sectors a file (510 bytes each, the first with a 9-byte header): 80 files fill the 1,520 data sectors.
    const std::vector<std::uint8_t> data(19 * 510 - 9, 0x55);
    // append, not "f" + std::to_string(): GCC 12 at -O3 gives a false -Wrestrict warning on the latter.
    for (std::size_t slot = 0; slot < FILES; ++slot)
        b.add_zx_file(static_cast<int>(slot), 4, std::string("f").append(std::to_string(slot)), data);
    const std::string path = b.write(dir / "full.mgt").string();

    long reads = 0;
    for (auto _ : state) {
        const auto source = testing_support::open_source(path);
        auto result = inspect::scan_image(*source, path);
        benchmark::DoNotOptimize(result);
        reads += source->reads();
    }
    state.counters["sector_reads_per_scan"] =
        benchmark::Counter(static_cast<double>(reads) / static_cast<double>(state.iterations()));
    state.SetBytesProcessed(state.iterations() * image::IMAGE_BYTES);
}
BENCHMARK(BM_ScanFullImage)->Unit(benchmark::kMicrosecond);

std::vector<std::uint8_t> random_screen()
{
    std::mt19937 random(6912);
    std::vector<std::uint8_t> screen(inspect::SCREEN_BYTES);
    for (auto& byte : screen)
        byte = static_cast<std::uint8_t>(random());
    return screen;
}

// The screen of a real image (the Spectrum 128 menu: mostly paper, a few lines of text).
std::vector<std::uint8_t> real_screen()
{
    testing_support::TempDir dir;
    std::filesystem::copy_file(testing_support::real_images_dir() / "zx_screen.mgt", dir / "zx_screen.mgt");
    const auto x = image::extract_file(*testing_support::open_source(dir / "zx_screen.mgt"), 0);
    if (!x || x->data.size() < inspect::SCREEN_BYTES)
        return random_screen();
    return x->data;
}

// Arg 0: random bytes, the worst case for a per-pixel branch; arg 1: a real screen.
std::vector<std::uint8_t> bench_screen(const benchmark::State& state)
{
    return state.range(0) == 0 ? random_screen() : real_screen();
}

// Every pixel on its own: find its bitmap byte, bit and attribute, then pick ink or paper.
void decode_per_pixel(const inspect::Palette& palette, std::span<const std::uint8_t> screen,
                      std::span<inspect::Pixel> pixels)
{
    for (int y = 0; y < inspect::SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < inspect::SCREEN_WIDTH; ++x) {
            const auto column = static_cast<std::size_t>(x) / inspect::CELL_PIXELS;
            const std::uint8_t bits = screen[inspect::bitmap_row_offset(y) + column];
            const std::uint8_t attribute =
                screen[inspect::ATTRIBUTES_OFFSET +
                       static_cast<std::size_t>(y) / inspect::CELL_PIXELS * inspect::ROW_BYTES + column];
            const auto bit = static_cast<std::size_t>(x) % inspect::CELL_PIXELS;
            const bool ink = (bits >> (inspect::CELL_PIXELS - 1 - bit)) & 1;
            const std::size_t colour =
                ink ? attribute & inspect::INK_MASK : (attribute >> inspect::PAPER_SHIFT) & inspect::INK_MASK;
            const std::size_t bright = (attribute & inspect::BRIGHT_BIT) ? inspect::BRIGHT_COLOURS : 0;
            pixels[static_cast<std::size_t>(y * inspect::SCREEN_WIDTH + x)] = palette[colour + bright];
        }
    }
}

void BM_DecodeScreenWithTable(benchmark::State& state)
{
    const inspect::PixelTable table = inspect::build_pixel_table();
    const auto screen = bench_screen(state);
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    for (auto _ : state) {
        inspect::decode_screen(table, screen, pixels);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DecodeScreenWithTable)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DecodeScreenPerPixel(benchmark::State& state)
{
    const inspect::Palette palette = inspect::zx_palette();
    const auto screen = bench_screen(state);
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    for (auto _ : state) {
        decode_per_pixel(palette, screen, pixels);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DecodeScreenPerPixel)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The decode kestrel-cli uses: no table, each cell's two colours worked out once.
void BM_DecodeScreenByCell(benchmark::State& state)
{
    const inspect::Palette palette = inspect::zx_palette();
    const auto screen = bench_screen(state);
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    for (auto _ : state) {
        inspect::decode_screen(palette, screen, pixels);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DecodeScreenByCell)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_BuildPixelTable(benchmark::State& state)
{
    for (auto _ : state) {
        inspect::PixelTable table = inspect::build_pixel_table();
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(BM_BuildPixelTable)->Unit(benchmark::kMicrosecond);

// Keeps the time per iteration of every run so the two decodes can be compared at the end.
class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    RecordingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_times;
};

// A thumbnail as a file manager asks for it (128 pixels), of one real disc: opened, drawn and encoded as PNG.
void thumbnail_of(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        auto opened = image::open_one_image(path);
        auto& disc = *std::get<image::OpenImage>(opened).source;
        const auto picture = inspect::thumbnail(disc, 128);
        auto png = inspect::encode_png(picture.pixels, picture.width, picture.height);
        benchmark::DoNotOptimize(png);
    }
}

// One benchmark per real disc, named BM_Thumbnail/FOLDER/NAME.
void register_thumbnails()
{
    const auto root = testing_support::real_images_dir();
    std::vector<std::filesystem::path> discs;
    for (const char* folder : {".", "sam", "containers"}) {
        for (const auto& entry : std::filesystem::directory_iterator(root / folder)) {
            const auto opened = image::open_image(entry.path().string());
            if (std::holds_alternative<image::OpenImage>(opened))
                discs.push_back(entry.path());
        }
    }
    std::sort(discs.begin(), discs.end());
    for (const auto& disc : discs) {
        const std::string name = "BM_Thumbnail/" + std::filesystem::relative(disc, root).lexically_normal().string();
        benchmark::RegisterBenchmark(name.c_str(), thumbnail_of, disc.string())->Unit(benchmark::kMicrosecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    register_thumbnails();
    // Both decodes must give the same pixels, or the comparison means nothing.
    for (const auto& screen : {random_screen(), real_screen()}) {
        std::vector<inspect::Pixel> by_table(inspect::SCREEN_PIXELS);
        std::vector<inspect::Pixel> by_pixel(inspect::SCREEN_PIXELS);
        inspect::decode_screen(inspect::build_pixel_table(), screen, by_table);
        decode_per_pixel(inspect::zx_palette(), screen, by_pixel);
        if (by_table != by_pixel) {
            std::fprintf(stderr, "the two screen decodes differ\n");
            return EXIT_FAILURE;
        }
    }

    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.m_times;
    for (const char* arg : {"/0", "/1"}) {
        const std::string table = std::string("BM_DecodeScreenWithTable") + arg;
        const std::string per_pixel = std::string("BM_DecodeScreenPerPixel") + arg;
        if (t.count(table) && t.count(per_pixel))
            std::printf("screen decode%s: per-pixel / table = %.2f\n", arg, t.at(per_pixel) / t.at(table));
    }
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
