// Directory listings of real images made by other tools, compared with listings kept in tests/data/expected.
#include "../cli/cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(RealImages, ListingsMatchTheKeptOutput)
{
    const fs::path expected_dir = fs::path(KESTREL_TEST_DATA_DIR) / "expected";
    const auto images = testing_support::real_images();
    ASSERT_GE(images.size(), 20u);
    for (const fs::path& image_path : images) {
        SCOPED_TRACE(image_path.filename().string());
        testing_support::TempDir dir;
        const fs::path copy = dir / image_path.filename().string();
        fs::copy_file(image_path, copy);
        const auto r = testing_support::run_cli({"list", copy.string()});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out, testing_support::read_text(expected_dir / (image_path.filename().string() + ".list")));
    }
}

TEST(RealImages, HandCheckedRows)
{
    testing_support::TempDir dir;
    auto list = [&](const std::string& name) {
        fs::copy_file(testing_support::real_images_dir() / name, dir / name);
        return testing_support::run_cli({"list", (dir / name).string()}).out;
    };
    // Each checked against the entry bytes by hand (offsets 0, 1-10, 11-14, 212-215, 236-241).
    EXPECT_EQ(list("success.mgt"), "Success   \t23755\t36\t\tZX Basic (1)\t1\t4\t1\t0\n");
    // SAM Code: start page 0x7D + 1 = 30, offset 0x8009 & 0x3FFF = 9; no pages, 10,000 bytes in the last.
    EXPECT_EQ(list("samdos2.mgt"), "samdos2   \t491529\t10000\t\tSAM Code (19)\t1\t4\t20\t0\n");
    // SAM Basic in the side-after-side layout: its start is where the program starts (PROG, as mgtdisklib's header
    // reads it).
    EXPECT_EQ(list("sam-sequential.img"), "hello     \t23765\t631\t\tSAM Basic (16)\t1\t4\t2\t0\n");
    // Raw text blocks, not a directory: every one of the 80 slots reads as used.
    const std::string blocks = list("solo-forth-library-blocks.mgt");
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), '\n'), 80);
}
