// Scans of real images made by other tools, compared with the output kept in tests/data/expected/<name>.check,
// which is what `kestrel-cli check NAME` prints in the images folder.
//
// Checked against the bytes by hand: chain_bad (sector byte 255 after ten sectors), chain_loop (sector 10 of
// track 4 links to itself: cut after 49 + 3 reads), chain_short (ends after 10 of 49 sectors), and two files of
// solo-forth-library-blocks. Every other image scans clean, the two subdirectories included: dir (a MasterDOS
// one, code 21, no sectors, first sector 0/1 where its own entry lies) and unidos_dir (a UNI-DOS one, code 12,
// ten sectors of directory entries on track 4 plus the 14 of the screen inside it, no links).
#include "../cli/cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(RealImages, ScansMatchTheKeptOutput)
{
    const fs::path expected_dir = fs::path(KESTREL_TEST_DATA_DIR) / "expected";
    int images = 0;
    for (const fs::path& image_path : testing_support::real_images()) {
        const std::string name = image_path.filename().string();
        SCOPED_TRACE(name);
        ++images;
        testing_support::TempDir dir;
        fs::copy_file(image_path, dir / name);
        const auto r = testing_support::run_cli({"check", (dir / name).string()});

        std::string out = r.out;
        for (std::size_t at; (at = out.find(dir.path().string() + "/")) != std::string::npos;)
            out.erase(at, dir.path().string().size() + 1);
        EXPECT_EQ(out, testing_support::read_text(expected_dir / (name + ".check")));
        EXPECT_EQ(r.code, out.find("possible errors") == std::string::npos ? 0 : 1);
    }
    EXPECT_GE(images, 20);
}
