#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using testing_support::ImageBuilder;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

std::vector<std::uint8_t> filler(std::size_t size)
{
    return std::vector<std::uint8_t>(size, 0x11);
}

// Makes the next open fail with EMFILE while it lives: as root no permission bit stops a read.
class NoFreeDescriptor
{
public:
    NoFreeDescriptor()
    {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        const int lowest_free = ::open("/dev/null", O_RDONLY);
        ::close(lowest_free);
        rlimit lowered = m_saved;
        lowered.rlim_cur = static_cast<rlim_t>(lowest_free);
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~NoFreeDescriptor() { setrlimit(RLIMIT_NOFILE, &m_saved); }
    NoFreeDescriptor(const NoFreeDescriptor&) = delete;
    NoFreeDescriptor& operator=(const NoFreeDescriptor&) = delete;

private:
    rlimit m_saved{};
};

} // namespace

TEST(CliCheck, ExitCodeIsTheWorstOfAllImagesAndOutputKeepsTheirOrder)
{
    TempDir dir;
    const std::string clean = ImageBuilder().write(dir / "clean.mgt").string();
    ImageBuilder damaged_image(image::Layout::Sequential);
    damaged_image.link(damaged_image.add_zx_file(0, 4, "code", filler(600))[0], {0, 0});
    const std::string damaged = damaged_image.write(dir / "damaged.img").string();
    const std::string short_image = ImageBuilder().resize(1000).write(dir / "short.dsk").string();
    const std::string clean_out = "Scanning file: " + dir.path().string() + "/clean ...\nOn image " + clean +
                                  " no errors has been found. 0 files found\n\n";
    const std::string damaged_out = "Scanning file: " + dir.path().string() +
                                    "/damaged ...\ncode       Wrong sector count, this is a critical problem\n"
                                    "On image " +
                                    damaged + " 1 possible errors has been found\n\n";

    auto r = run_cli({"check", clean});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, clean_out);
    EXPECT_EQ(r.err, "");

    r = run_cli({"check", damaged, clean});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, damaged_out + clean_out);

    r = run_cli({"check", clean, short_image, damaged});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, clean_out + damaged_out);
    EXPECT_EQ(r.err, "kestrel-cli: " + short_image + ": size is 1000 bytes, not 819200\n");
}

TEST(CliCheck, ImagesNotScannedAreNamedOnStderr)
{
    TempDir dir;
    ImageBuilder().write(dir / "disc.tap");
    std::filesystem::create_directory(dir / "folder.mgt");
    const std::string relative = (dir / "." / "missing.MGT").string();
    for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {(dir / "disc.tap").string(), "not a disc image (the name must end in .mgt, .dsk or .img)"},
             {relative, "No such file or directory"},
             {(dir / "folder.mgt").string(), "Is a directory"},
         }) {
        const auto r = run_cli({"check", path});
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "kestrel-cli: " + path + ": " + reason + "\n");
    }

    const std::string image = ImageBuilder().write(dir / "locked.mgt").string();
    testing_support::CliResult r;
    {
        NoFreeDescriptor no_descriptor;
        r = run_cli({"check", image});
    }
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "Scanning file: " + dir.path().string() + "/locked ...\n");
    EXPECT_EQ(r.err, "kestrel-cli: " + image + ": Too many open files\n");

    EXPECT_EQ(run_cli({"check"}).code, 2);
}
