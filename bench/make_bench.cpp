// A new disc made from a tape: 80 files of 9,000 bytes (19 sectors each, 1,520 of the 1,560), every eighth a BASIC
// program, read from a .tap file and laid out in memory, as kestrel-cli make does before it writes the image.
#include "files/make_disc.h"
#include "support/image_builder.h"
#include "tape/tap_writer.h"

#include "common/bytes.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

constexpr std::size_t FILE_SIZE = 9000;
constexpr int FILES = 80;
constexpr int BASIC_EVERY = 8;
constexpr std::uint16_t CODE_START = 32768;

std::vector<std::uint8_t> full_tape()
{
    std::vector<std::uint8_t> data(FILE_SIZE);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 31 + 7);
    std::vector<std::uint8_t> tap;
    for (int n = 0; n < FILES; ++n) {
        image::TapeHeader h{};
        const bool basic = n % BASIC_EVERY == 0;
        h[image::tape_header::TYPE] = basic ? image::TAPE_PROGRAM : image::TAPE_BYTES;
        const std::string name = std::string("file").append(std::to_string(n));
        std::fill_n(h.begin() + image::tape_header::NAME.at, image::tape_header::NAME.length, std::uint8_t{' '});
        std::copy(name.begin(), name.end(), h.begin() + image::tape_header::NAME.at);
        common::put_le16(h, image::tape_header::LENGTH, static_cast<std::uint16_t>(FILE_SIZE));
        common::put_le16(h, image::tape_header::PARAM1, basic ? 10 : CODE_START);
        common::put_le16(h, image::tape_header::PARAM2, basic ? static_cast<std::uint16_t>(FILE_SIZE) : CODE_START);
        tape::write_tap_blocks(tap, h, data);
    }
    return tap;
}

void BM_MakeFullDisc(benchmark::State& state)
{
    testing_support::TempDir dir;
    const std::vector<std::string> paths = {(dir / "full.tap").string()};
    testing_support::write_file(paths[0], full_tape());
    for (auto _ : state) {
        auto made = files::make_disc_from_paths(paths, image::Layout::Interleaved, std::nullopt);
        if (!std::holds_alternative<files::MadeDisc>(made))
            state.SkipWithError("the disc was not made");
        benchmark::DoNotOptimize(made);
    }
    state.SetBytesProcessed(state.iterations() * FILES * static_cast<std::int64_t>(FILE_SIZE));
}
BENCHMARK(BM_MakeFullDisc)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
