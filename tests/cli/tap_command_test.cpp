#include "cli_test_util.h"
#include "image/directory.h"
#include "support/file_size_limit.h"
#include "support/image_builder.h"
#include "tape/basic_program.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::Bytes;
using testing_support::ImageBuilder;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

// Slot 0 a loader with one disc LOAD, slot 1 a snapshot (no tape form), slot 3 a screen; slot 2 is free.
struct Disc
{
    TempDir dir;
    std::string image;
    std::string out = (dir / "out.tap").string();

    Disc()
    {
        using namespace testing_support;
        ImageBuilder b;
        b.add_zx_file(0, 1, "loader", basic_line(10, Bytes{TOKEN_LOAD, 'D'} + small_number(1) + ascii("\"s\"")));
        b.add_zx_file(1, 5, "snap", Bytes(100, 5));
        b.add_zx_file(3, 7, "screen", Bytes(6912, 0));
        image = b.write(dir / "disc.mgt").string();
    }
};

constexpr std::size_t LOADER_TAPE = 25 + 17;
constexpr std::size_t SCREEN_TAPE = 25 + 6912;

} // namespace

TEST(CliTap, ConvertsTheChosenSlotsInListOrderAndPrintsTheLines)
{
    Disc d;
    auto r = run_cli({"tap", d.image, "-o", d.out, "--slot", "3", "--slot", "0", "--slot", "3"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "loader     syntax changes: 1\n");
    EXPECT_EQ(r.err, "");
    Bytes tap = read_file(d.out);
    ASSERT_EQ(tap.size(), LOADER_TAPE + SCREEN_TAPE);
    EXPECT_EQ(tap[3], 0x00); // the program comes first
    EXPECT_EQ(tap[LOADER_TAPE + 3], 0x03);

    r = run_cli({"tap", "--no-rewrite", d.image, "--slot", "0", "-o", d.out, "--force"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");
    tap = read_file(d.out);
    ASSERT_EQ(tap.size(), LOADER_TAPE);
    EXPECT_EQ(tap[24 + 5], 'D'); // not rewritten
}

TEST(CliTap, EveryListedFileWithFailuresGivingExit1)
{
    Disc d;
    auto r = run_cli({"tap", d.image, "-o", d.out});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "loader     syntax changes: 1\nsnap       not converted, error occured\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(d.out).size(), LOADER_TAPE + SCREEN_TAPE);
}

TEST(CliTap, FileSkippedForItsTapeTypeIsNoFailure)
{
    TempDir dir;
    ImageBuilder b;
    b.add_zx_file(0, 4, "odd", Bytes(10, 1));
    b.entry_bytes(0)[image::entry::TAPE_TYPE] = 9;
    const auto image = b.write(dir / "odd.dsk").string();
    const auto r = run_cli({"tap", image, "-o", (dir / "o.tap").string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(dir / "o.tap").size(), 0u);
}

TEST(CliTap, ExistingOutputIsOnlyReplacedWithForce)
{
    Disc d;
    testing_support::write_file(d.out, Bytes{1, 2, 3});
    auto r = run_cli({"tap", d.image, "-o", d.out, "--slot", "3"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("kestrel-cli: " + d.out + ": ", 0), 0u) << r.err;
    EXPECT_EQ(read_file(d.out), (Bytes{1, 2, 3}));

    r = run_cli({"tap", d.image, "-o", d.out, "--slot", "3", "--force"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(read_file(d.out).size(), SCREEN_TAPE);

    testing_support::write_file(d.out, {}); // even an empty one
    r = run_cli({"tap", d.image, "-o", d.out, "--slot", "3"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "kestrel-cli: " + d.out + ": exists (use --force to replace it)\n");
    EXPECT_EQ(read_file(d.out).size(), 0u);
}

TEST(CliTap, UsageErrorsAndUnreadableImagesWriteNothing)
{
    Disc d;
    const std::string& img = d.image;
    const std::string& out = d.out;
    const std::vector<std::vector<std::string>> cases = {
        {"tap"},
        {"tap", img},
        {"tap", img, "-o"},
        {"tap", "-o", out},
        {"tap", img, img, "-o", out},
        {"tap", img, "-o", out, "-o", out},
        {"tap", img, "-o", out, "--bogus"},
        {"tap", img, "-o", out, "--slot"},
        {"tap", img, "-o", out, "--slot", "80"},
        {"tap", img, "-o", out, "--slot", "x"},
        {"tap", img, "-o", out, "--slot", "0", "--slot", "2"}, // slot 2 lists no file
        {"tap", (d.dir / "missing.mgt").string(), "-o", out},
        {"tap", (d.dir / "out.tap").string(), "-o", out},
    };
    for (const auto& args : cases) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 2) << args.size() << ' ' << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrel-cli: ", 0), 0u) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << args.back();
    }
    const auto r = run_cli({"tap", img, "-o", out, "--slot", "2"});
    EXPECT_EQ(r.err, "kestrel-cli: " + img + ": no file in slot 2\n");
}

TEST(CliTap, TapeThatCannotBeWrittenIsReportedWithItsReasonAndExit2)
{
    Disc d;
    const std::string nowhere = (d.dir / "no" / "t.tap").string();
    auto r = run_cli({"tap", d.image, "-o", nowhere, "--slot", "0"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kestrel-cli: " + nowhere + ": cannot write the tape file: No such file or directory\n");

    // Opened, but the writes fail (a full disc): the files' lines come first, the failure last.
    const std::string full = (d.dir / "full.tap").string();
    {
        testing_support::FileSizeLimit limit(10);
        r = run_cli({"tap", d.image, "-o", full});
    }
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out,
              "loader     syntax changes: 1\nsnap       not converted, error occured\nCannot write " + full + "\n");
    EXPECT_EQ(r.err, "kestrel-cli: " + full + ": cannot write the tape file: File too large\n");
    EXPECT_FALSE(std::filesystem::exists(full));

    // A device is never replaced by a tape file.
    if (std::filesystem::exists("/dev/full")) {
        r = run_cli({"tap", d.image, "-o", "/dev/full", "--force"});
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "kestrel-cli: /dev/full: cannot write the tape file: not a regular file\n");
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}

TEST(CliTap, WarnsOfALoaderThatKeepsDiscOnlySyntax)
{
    using namespace testing_support;
    TempDir dir;
    ImageBuilder b;
    const Bytes poke_at = Bytes{0xF4, '@'} + small_number(5) + Bytes{','} + small_number(1);
    const Bytes loader = basic_line(10, poke_at + Bytes{':', TOKEN_LOAD, 'd'} + small_number(1) + ascii("\"s\""));
    b.add_zx_file(0, 1, "boot", loader, 0, 10, static_cast<std::uint16_t>(loader.size()));
    const std::string image = b.write(dir / "disc.mgt").string();
    const auto r = run_cli({"tap", image, "-o", (dir / "out.tap").string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "boot       syntax changes: 1\n");
    EXPECT_EQ(r.err, "kestrel-cli: boot: loader still uses +D-only syntax (line 10:1 POKE @)\n");
}
