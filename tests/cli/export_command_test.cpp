#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::read_file;
using testing_support::run_cli;

namespace {

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 11);
    return bytes;
}

struct ExportImage
{
    testing_support::TempDir dir;
    std::vector<std::uint8_t> zx = pattern(777, 1);
    std::vector<std::uint8_t> sam = pattern(17000, 2);
    std::string image;

    ExportImage()
    {
        testing_support::ImageBuilder b;
        b.add_zx_file(0, 4, "code", zx, 40000);
        b.add_sam_file(5, 19, "samcode", sam);
        testing_support::EntryFields snap;
        snap.status = 5;
        snap.name = "snap";
        b.entry(6, snap);
        image = b.write(dir / "files.mgt").string();
    }
    std::string out(const char* name) const { return (dir / name).string(); }
};

} // namespace

TEST(CliExport, WritesZxAndSamDataAsRawBytes)
{
    ExportImage f;
    for (const auto& [slot, expected] : {std::pair{"0", f.zx}, std::pair{"5", f.sam}}) {
        const auto r = run_cli({"export", f.image, "--slot", slot, "-o", f.out("data.bin"), "--force"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(read_file(f.out("data.bin")), expected) << "slot " << slot;
    }
}

TEST(CliExport, RefusalsWriteNothing)
{
    ExportImage f;
    testing_support::write_file(f.out("old.bin"), std::vector<std::uint8_t>{1, 2, 3});
    const auto image_before = read_file(f.image);
    struct Case
    {
        std::vector<std::string> args;
        int code;
        std::string err;
    };
    const Case cases[] = {
        {{"--slot", "0", "-o", f.out("old.bin")}, 2, f.out("old.bin") + ": exists (use --force to replace it)"},
        {{"--slot", "0", "-o", f.image, "--force"}, 2, f.image + ": is the image itself"},
        {{"--slot", "6", "-o", f.out("snap.bin")},
         1,
         f.image + ": slot 6: ZX 48K Snap files cannot be exported (only ZX files with a tape form and SAM files can)"},
        {{"--slot", "7", "-o", f.out("none.bin")}, 2, f.image + ": no file in slot 7"},
        {{"--slot", "0"}, 2, "export needs IMAGE, --slot N and -o OUT"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"export", f.image};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "kestrel-cli: " + c.err);
    }
    EXPECT_EQ(read_file(f.out("old.bin")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(read_file(f.image), image_before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), 2);
}
