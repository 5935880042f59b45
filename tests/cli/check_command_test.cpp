#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using testing_support::ImageBuilder;
using testing_support::run_cli;

TEST(CliCheck, ExitCodeIsTheWorstOfAllImagesAndStdoutKeepsTheirLines)
{
    testing_support::TempDir dir;
    const std::string folder = dir.path().string() + "/";
    ImageBuilder damaged(image::Layout::Sequential);
    damaged.link(damaged.add_zx_file(0, 4, "code", std::vector<std::uint8_t>(600))[0], {0, 0});
    damaged.write(dir / "damaged.img");
    ImageBuilder().write(dir / "clean.mgt");
    ImageBuilder().resize(1000).write(dir / "short.dsk");
    ImageBuilder().write(dir / "disc.tap");
    std::filesystem::create_directory(dir / "folder.mgt");
    const std::string clean_out = "Scanning file: " + folder + "clean ...\nOn image " + folder +
                                  "clean.mgt no errors has been found. 0 files found\n\n";
    const std::string damaged_out = "Scanning file: " + folder + "damaged ...\ncode       Wrong sector count, this " +
                                    "is a critical problem\nOn image " + folder +
                                    "damaged.img 1 possible errors has been found\n\n";

    EXPECT_EQ(run_cli({"check", folder + "clean.mgt"}).out, clean_out);
    const auto r = run_cli({"check", folder + "damaged.img", folder + "clean.mgt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, damaged_out + clean_out);
    EXPECT_EQ(r.err, "");

    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"short.dsk", "size is 1000 bytes, not 819200"},
             {"disc.tap", "not a disc image (the name must end in .mgt, .dsk, .img, .sad, .gz or .zip)"},
             {"./missing.MGT", "No such file or directory"},
             {"folder.mgt", "Is a directory"},
         }) {
        const auto worst = run_cli({"check", folder + "clean.mgt", folder + name, folder + "damaged.img"});
        EXPECT_EQ(worst.code, 2);
        EXPECT_EQ(worst.out, clean_out + damaged_out);
        EXPECT_EQ(worst.err, "kestrel-cli: " + folder + name + ": " + reason + "\n");
    }
    EXPECT_EQ(run_cli({"check"}).code, 2);
}

TEST(CliCheck, ImageThatCannotBeOpenedLeavesTheFirstLineAlone)
{
    testing_support::TempDir dir;
    const std::string path = ImageBuilder().write(dir / "locked.mgt").string();
    // Root opens any file whatever its permission bits, so the open is made to fail for want of a descriptor.
    // First runs with descriptors to spare, one of them failing to open, let the undefined-behaviour sanitizer,
    // which needs a descriptor to check a type it has not met yet, see every type of the last run.
    EXPECT_EQ(run_cli({"check", path}).code, 0);
    EXPECT_EQ(run_cli({"check", (dir / "missing.mgt").string()}).code, 2);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    const int lowest_free = ::open("/dev/null", O_RDONLY);
    ::close(lowest_free);
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(lowest_free);
    setrlimit(RLIMIT_NOFILE, &lowered);
    const auto r = run_cli({"check", path});
    setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "Scanning file: " + dir.path().string() + "/locked ...\n");
    EXPECT_EQ(r.err, "kestrel-cli: " + path + ": Too many open files\n");
}
