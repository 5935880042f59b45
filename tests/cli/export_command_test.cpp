#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::read_file;
using testing_support::run_cli;

TEST(CliExport, WritesZxAndSamDataAndNeverReplacesUnasked)
{
    testing_support::TempDir dir;
    std::vector<std::uint8_t> sam(17000); // over two pages
    for (std::size_t i = 0; i < sam.size(); ++i)
        sam[i] = static_cast<std::uint8_t>(i * 11 + i / 256);
    const std::vector<std::uint8_t> zx(sam.begin() + 100, sam.begin() + 877);
    testing_support::ImageBuilder b;
    b.add_zx_file(0, 4, "code", zx, 40000);
    b.add_sam_file(5, 19, "samcode", sam);
    const std::string image = b.write(dir / "files.mgt").string();
    const std::string out = (dir / "data.bin").string();

    for (const auto& [slot, expected] : {std::pair{"0", zx}, std::pair{"5", sam}}) {
        const auto r = run_cli({"export", image, "--slot", slot, "-o", out, "--force"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(read_file(out), expected) << "slot " << slot;
    }
    const auto exists = run_cli({"export", image, "--slot", "0", "-o", out});
    EXPECT_EQ(exists.code, 2);
    EXPECT_EQ(exists.err, "kestrel-cli: " + out + ": exists (use --force to replace it)\n");
    const auto itself = run_cli({"export", image, "--slot", "0", "-o", image, "--force"});
    EXPECT_EQ(itself.code, 2);
    EXPECT_EQ(itself.err, "kestrel-cli: " + image + ": is also an input (" + image + ")\n");
    EXPECT_EQ(read_file(out), sam);
    EXPECT_EQ(read_file(image), b.bytes());
    // A device is not replaced by a file, and the message says why.
    const auto device = run_cli({"export", image, "--slot", "0", "-o", "/dev/full", "--force"});
    EXPECT_EQ(device.code, 2);
    EXPECT_EQ(device.err, "kestrel-cli: /dev/full: cannot write the file: not a regular file\n");
}

TEST(CliExport, SlotsOfMasterDosExtraDirectoryTracksAreReachable)
{
    testing_support::TempDir dir;
    const std::vector<std::uint8_t> data(300, 0x42);
    testing_support::ImageBuilder b;
    b.directory_tracks(5);
    b.add_sam_file(0, 19, "first", data);
    b.add_sam_file(85, 19, "beyond", data);
    const std::string out = (dir / "data.bin").string();
    const auto r = run_cli({"export", b.write(dir / "five.mgt").string(), "--slot", "85", "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(read_file(out), data);
}
