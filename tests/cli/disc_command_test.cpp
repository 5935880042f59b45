// kestrel-cli disc read and disc write, in-process, with libdsk's image-file drivers standing in for the drive.
#include "cli_test_util.h"
#include "support/drive_files.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// The files in a folder, to see that nothing (no temporary file either) was left behind.
std::vector<std::string> names_in(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(DiscCommand, UsageErrors)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"disc"}, "disc needs 'read A:|B: OUT' or 'write IMAGE A:|B:'"},
        {{"disc", "copy", "A:", "x.mgt"}, "disc needs 'read A:|B: OUT' or 'write IMAGE A:|B:'"},
        {{"disc", "read", "A:"}, "disc read needs a drive and an image: read A:|B: OUT"},
        {{"disc", "read", "C:", "x.mgt"}, "'C:' is not a drive (A: or B:)"},
        {{"disc", "write", "A:", "x.mgt"}, "'x.mgt' is not a drive (A: or B:)"},
        {{"disc", "read", "A:", "x.tap"}, "the image name must end in .mgt, .dsk or .img: x.tap"},
        {{"disc", "write", "x.mgt", "A:", "--force"}, "unknown option '--force'"},
        {{"disc", "read", "A:", "x.mgt", "--driver"}, "option '--driver' needs a value"},
    };
    for (const auto& [args, message] : cases) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 2) << args.back();
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "kestrel-cli: " + message);
    }
}

TEST(DiscCommand, ReadsADriveIntoAnImageAndReplacesOnlyWithForce)
{
    TempDir dir;
    const fs::path drive = real_images_dir() / "sam-sequential.img";
    const std::string out = (dir / "copy.img").string();
    const auto first = run_cli({"disc", "read", "b:", out, "--device", drive.string(), "--driver", "rawoo"});
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(first.err.substr(first.err.rfind('\r') + 1), "read 160 of 160 tracks, errors: 0      \n");
    EXPECT_EQ(read_file(out), read_file(drive));

    write_file(out, std::vector<std::uint8_t>{1});
    const auto refused = run_cli({"disc", "read", "A:", out, "--device", drive.string(), "--driver", "rawoo"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err, "kestrel-cli: " + out + ": exists (use --force to replace it)\n");
    EXPECT_EQ(read_file(out).size(), 1u);
    const auto forced =
        run_cli({"disc", "read", "A:", out, "--force", "--device", drive.string(), "--driver", "rawoo"});
    EXPECT_EQ(forced.code, 0);
    EXPECT_EQ(read_file(out), read_file(drive));

    const auto no_drive = run_cli({"disc", "read", "A:", (dir / "x.mgt").string(), "--device", "/nonexistent/fd0"});
    EXPECT_EQ(no_drive.code, 2);
    EXPECT_EQ(no_drive.err, "kestrel-cli: /nonexistent/fd0: No such file or directory\n");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"copy.img"});
}

TEST(DiscCommand, DamagedDiscKeepsAnImageOnlyWhenAsked)
{
    if (!has_dsktrans())
        GTEST_SKIP() << "libdsk-utils is not installed";
    TempDir dir;
    const auto disc = read_file(real_images_dir() / "zx_basic_auto.mgt");
    const fs::path edsk = dir / "drive.edsk";
    write_damaged_edsk(edsk, disc, {0, 0, 2});
    const std::string out = (dir / "read.mgt").string();
    const std::vector<std::string> args = {"disc", "read", "A:", out, "--device", edsk.string(), "--driver", "edsk"};

    const auto dropped = run_cli(args);
    EXPECT_EQ(dropped.code, 1);
    EXPECT_NE(dropped.err.find(
                  "\nkestrel-cli: " + edsk.string() +
                  ": track 0 side 0 sector 2 unreadable\n"
                  "kestrel-cli: " +
                  out + ": not written: 1 unreadable sector (--keep-damaged keeps the image with zeros there)\n"),
              std::string::npos)
        << dropped.err;
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"drive.edsk"});

    auto kept_args = args;
    kept_args.push_back("--keep-damaged");
    const auto kept = run_cli(kept_args);
    EXPECT_EQ(kept.code, 1);
    EXPECT_NE(kept.err.find(out + ": written with 1 unreadable sector as zeros\n"), std::string::npos);
    auto expected = disc;
    std::fill_n(expected.begin() + 512, 512, std::uint8_t{0});
    EXPECT_EQ(read_file(out), expected);
}

TEST(DiscCommand, WritesAnImageToADriveAndRefusesAShortOne)
{
    TempDir dir;
    const fs::path image_path = real_images_dir() / "zx_code_auto.mgt";
    const fs::path drive = dir / "drive.dsk";
    const auto written =
        run_cli({"disc", "write", image_path.string(), "A:", "--device", drive.string(), "--driver", "dsk"});
    EXPECT_EQ(written.code, 0) << written.err;
    EXPECT_EQ(written.err.substr(written.err.rfind('\r') + 1), "written 160 of 160 tracks, errors: 0      \n");
    const std::string back = (dir / "back.mgt").string();
    EXPECT_EQ(run_cli({"disc", "read", "A:", back, "--device", drive.string(), "--driver", "dsk"}).code, 0);
    EXPECT_EQ(read_file(back), read_file(image_path));

    const fs::path short_image = dir / "short.mgt";
    ImageBuilder().resize(1000).write(short_image);
    const auto refused =
        run_cli({"disc", "write", short_image.string(), "B:", "--device", drive.string(), "--driver", "dsk"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err, "kestrel-cli: " + short_image.string() + ": size is 1000 bytes, not 819200\n");
}
