// Editing a disc in memory: 80 files of 9,000 bytes (19 sectors each, 1,520 of the 1,560) added to an empty disc
// in one edit, its check (verify_edit) included, and then written over the image through save_disc. The reference
// is what any tool that rewrites an image pays at least: a copy of the image written to a new file and flushed to
// the disc (fsync), as `cp` and then `sync` of the file do.
#include "common/bytes.h"
#include "files/disc_edit.h"
#include "files/disc_save.h"
#include "files/make_disc.h"
#include "support/image_builder.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t FILE_SIZE = 9000;
constexpr int FILES = 80;
constexpr std::uint16_t CODE_START = 32768;

std::vector<files::NewFile> full_disc_of_files()
{
    std::vector<std::uint8_t> data(FILE_SIZE);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 31 + 7);
    std::vector<files::NewFile> out;
    for (int n = 0; n < FILES; ++n) {
        tape::TapeFile file;
        file.header[image::tape_header::TYPE] = image::TAPE_BYTES;
        const std::string name = "file" + std::to_string(n);
        std::fill_n(file.header.begin() + image::tape_header::NAME.at, image::tape_header::NAME.length,
                    std::uint8_t{' '});
        std::copy(name.begin(), name.end(), file.header.begin() + image::tape_header::NAME.at);
        common::put_le16(file.header, image::tape_header::LENGTH, static_cast<std::uint16_t>(FILE_SIZE));
        common::put_le16(file.header, image::tape_header::PARAM1, CODE_START);
        file.data = data;
        out.push_back({files::disc_file(file), name});
    }
    return out;
}

files::DiscValue empty_disc()
{
    return {std::vector<std::uint8_t>(static_cast<std::size_t>(image::IMAGE_BYTES)), image::Layout::Interleaved};
}

void BM_AddFullDiscOfFiles(benchmark::State& state)
{
    const auto files = full_disc_of_files();
    const files::DiscValue disc = empty_disc();
    for (auto _ : state) {
        auto edited = files::add_files(disc, files);
        if (!std::holds_alternative<files::Edited>(edited))
            state.SkipWithError(std::get<std::string>(edited).c_str());
        benchmark::DoNotOptimize(edited);
    }
}
BENCHMARK(BM_AddFullDiscOfFiles)->Unit(benchmark::kMillisecond);

// The same edit, then written over the image file in place (save_disc: lock, read back, compare, write, fsync,
// compare again, rename, read the old file once more).
void BM_AddFullDiscOfFilesAndSave(benchmark::State& state)
{
    testing_support::TempDir dir;
    const std::string path = (dir / "disc.mgt").string();
    const auto files = full_disc_of_files();
    const files::DiscValue disc = empty_disc();
    for (auto _ : state) {
        testing_support::write_file(path, disc.bytes);
        auto edited = files::add_files(disc, files);
        if (!std::holds_alternative<files::Edited>(edited) ||
            !files::save_disc(path, disc, std::get<files::Edited>(edited).disc).written)
            state.SkipWithError("the edit was not saved");
    }
}
BENCHMARK(BM_AddFullDiscOfFilesAndSave)->Unit(benchmark::kMillisecond);

// The reference: the image's bytes written to a new file and flushed, as `cp` with an fsync does.
void BM_CopyImageWithFsync(benchmark::State& state)
{
    testing_support::TempDir dir;
    const std::string path = (dir / "copy.mgt").string();
    const files::DiscValue disc = empty_disc();
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 &&
                        ::write(fd, disc.bytes.data(), disc.bytes.size()) == static_cast<ssize_t>(disc.bytes.size()) &&
                        ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!ok)
            state.SkipWithError("the copy was not written");
    }
}
BENCHMARK(BM_CopyImageWithFsync)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
