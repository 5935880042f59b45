// kestrel-cli make, in-process: the round trip of every real image with ZX files through tap and make in both
// layouts, checked by the integrity scan; solo-forth-boot.mgt made again from its own tape; a TZX that tapeconv
// made from a TAP; the system file; and the refusals that leave no file behind.
#include "../tape/tool_run.h"
#include "cli_test_util.h"
#include "image/directory.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

// `tap --no-rewrite` of a copy of a real image into <dir>/<name>.tap; the tape's bytes.
Bytes tape_of(const fs::path& image, const TempDir& dir, const std::string& name)
{
    const fs::path copy = dir / (name + image.extension().string());
    fs::copy_file(image, copy, fs::copy_options::overwrite_existing);
    run_cli({"tap", "--no-rewrite", copy.string(), "-o", (dir / (name + ".tap")).string(), "--force"});
    return read_file(dir / (name + ".tap"));
}

} // namespace

TEST(CliMake, RealImagesComeBackFromTheirTapesInBothLayouts)
{
    int round_trips = 0;
    for (const fs::path& image : testing_support::real_images()) {
        SCOPED_TRACE(image.filename().string());
        TempDir dir;
        const Bytes tape = tape_of(image, dir, "original");
        if (tape.empty())
            continue; // no ZX file with a tape form: SAM files, snapshots, garbage
        for (const char* out : {"made.mgt", "made.img"}) {
            SCOPED_TRACE(out);
            const auto made = run_cli({"make", (dir / out).string(), (dir / "original.tap").string()});
            EXPECT_EQ(made.code, 0) << made.err;
            EXPECT_EQ(made.err, "");
            EXPECT_EQ(tape_of(dir / out, dir, "again"), tape);
            const auto check = run_cli({"check", (dir / out).string()});
            EXPECT_EQ(check.code, 0) << check.out;
            EXPECT_NE(check.out.find(" no errors has been found"), std::string::npos) << check.out;
        }
        ++round_trips;
    }
    EXPECT_EQ(round_trips, 10);
}

// Directory and data sectors as on the original: the only bytes that differ are what the original's own tool left
// in the slack of two last sectors, after the end of Autoload (track 5 sector 5 from byte 107 = 9 + 98) and of
// pr64.bin (track 11 sector 7 from byte 251 = 9 + 242); the made disc has zeros there.
TEST(CliMake, SoloForthBootMadeFromItsTapeIsTheOriginal)
{
    TempDir dir;
    const fs::path original = testing_support::real_images_dir() / "solo-forth-boot.mgt";
    tape_of(original, dir, "solo");
    const auto made = run_cli({"make", (dir / "made.mgt").string(), (dir / "solo.tap").string()});
    ASSERT_EQ(made.code, 0) << made.err;
    EXPECT_EQ(made.out.substr(0, made.out.find('\n')),
              "slot 0: \"+SYS 2a\" ZX Code (4), 6656 bytes, 14 sectors from track 4 sector 1 (" +
                  (dir / "solo.tap").string() + " block #0)");
    Bytes expected = read_file(original);
    for (const auto& [track, sector, from] : {std::tuple{5, 5, 107}, std::tuple{11, 7, 251}}) {
        const auto at = image::sector_offset(image::Layout::Interleaved, static_cast<std::uint8_t>(track), sector - 1);
        std::fill_n(expected.begin() + at + from, image::SECTOR_SIZE - static_cast<std::size_t>(from), 0);
    }
    EXPECT_EQ(read_file(dir / "made.mgt"), expected);
}

TEST(CliMake, TzxFromTapeconvGivesTheSameDisc)
{
    if (!testing_support::has_tool("tapeconv"))
        GTEST_SKIP() << "tapeconv (fuse-emulator-utils) is not installed";
    TempDir dir;
    tape_of(testing_support::real_images_dir() / "solo-forth-boot.mgt", dir, "solo");
    const std::string tap = (dir / "solo.tap").string();
    const std::string tzx = (dir / "solo.tzx").string();
    ASSERT_EQ(std::system(("tapeconv '" + tap + "' '" + tzx + "' > /dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(run_cli({"make", (dir / "tap.img").string(), tap}).code, 0);
    ASSERT_EQ(run_cli({"make", (dir / "tzx.img").string(), tzx}).code, 0);
    EXPECT_EQ(read_file(dir / "tzx.img"), read_file(dir / "tap.img"));
}

TEST(CliMake, SystemFileComesFirstAndWholeFromTheGivenImage)
{
    TempDir dir;
    const fs::path boot = testing_support::real_images_dir() / "solo-forth-boot.mgt";
    const fs::path success = testing_support::real_images_dir() / "success.mgt";
    tape_of(success, dir, "success");
    const std::string tap = (dir / "success.tap").string();
    const struct
    {
        std::vector<std::string> options;
        int original_slot;
    } cases[] = {{{"--system", boot.string()}, 0}, {{"--system", boot.string(), "--system-slot", "5"}, 5}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"make", (dir / "new.mgt").string(), tap, "--force"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto made = run_cli(args);
        ASSERT_EQ(made.code, 0) << made.err;
        EXPECT_NE(made.out.find("(system file from " + boot.string() + " slot " + std::to_string(c.original_slot)),
                  std::string::npos)
            << made.out;
        // The copy's chain holds what the original's holds, and its entry keeps everything but the placement.
        run_cli({"tap", "--no-rewrite", (dir / "new.mgt").string(), "--slot", "0", "-o", (dir / "sys.tap").string(),
                 "--force"});
        run_cli({"tap", "--no-rewrite", boot.string(), "--slot", std::to_string(c.original_slot), "-o",
                 (dir / "orig.tap").string(), "--force"});
        EXPECT_FALSE(read_file(dir / "orig.tap").empty());
        EXPECT_EQ(read_file(dir / "sys.tap"), read_file(dir / "orig.tap"));
        EXPECT_EQ(run_cli({"check", (dir / "new.mgt").string()}).code, 0);
    }
    const auto none = run_cli({"make", (dir / "none.mgt").string(), tap, "--system", success.string()});
    EXPECT_EQ(none.code, 2);
    EXPECT_EQ(none.err, "kestrel-cli: " + success.string() + ": no file whose name starts with +SYS\n");
    EXPECT_FALSE(fs::exists(dir / "none.mgt"));
    // The damaged images of mgtdisklib: a chain is copied whole or not at all.
    for (const auto& [name, why] : {std::pair{"chain_bad.mgt", "leaves the data sectors after 10"},
                                    std::pair{"chain_loop.mgt", "comes back to a sector after 10"},
                                    std::pair{"chain_short.mgt", "ends after 10"}}) {
        const std::string damaged = (testing_support::real_images_dir() / name).string();
        const auto r = run_cli({"make", (dir / "none.mgt").string(), tap, "--system", damaged, "--system-slot", "0"});
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "kestrel-cli: " + damaged + ": slot 0: the chain " + why + " of its 49 sectors\n");
    }
    EXPECT_FALSE(fs::exists(dir / "none.mgt"));
}

TEST(CliMake, RefusalsLeaveNoFileAndAnExistingOneAlone)
{
    TempDir dir;
    tape_of(testing_support::real_images_dir() / "success.mgt", dir, "s");
    const std::string tap = (dir / "s.tap").string();
    // 81 copies of the one file: one more than a directory holds.
    const std::vector<std::string> too_many(81, tap);
    std::vector<std::string> args = {"make", (dir / "full.mgt").string()};
    args.insert(args.end(), too_many.begin(), too_many.end());
    const auto full = run_cli(args);
    EXPECT_EQ(full.code, 1);
    EXPECT_EQ(full.err,
              "kestrel-cli: " + (dir / "full.mgt").string() + ": 81 files, a disc holds 80; nothing written\n");
    EXPECT_EQ(full.out, "");
    EXPECT_FALSE(fs::exists(dir / "full.mgt"));

    testing_support::write_file(dir / "old.mgt", Bytes{1, 2, 3});
    const auto kept = run_cli({"make", (dir / "old.mgt").string(), tap});
    EXPECT_EQ(kept.code, 2);
    EXPECT_EQ(read_file(dir / "old.mgt"), (Bytes{1, 2, 3}));
    EXPECT_EQ(run_cli({"make", (dir / "old.mgt").string(), tap, "--force"}).code, 0);
    EXPECT_EQ(read_file(dir / "old.mgt").size(), static_cast<std::size_t>(image::IMAGE_BYTES));

    // A tape block that gives no file is reported and skipped; the disc is still made.
    Bytes odd_tape = read_file(tap);
    odd_tape.insert(odd_tape.end(), {3, 0, 0xFF, 7, 0xF8});
    testing_support::write_file(dir / "odd.tap", odd_tape);
    const auto odd = run_cli({"make", (dir / "odd.img").string(), (dir / "odd.tap").string()});
    EXPECT_EQ(odd.code, 1);
    EXPECT_EQ(odd.err, "kestrel-cli: " + (dir / "odd.tap").string() +
                           ": block #2: data block without a header (1 byte), skipped\n");
    EXPECT_TRUE(fs::exists(dir / "odd.img"));

    EXPECT_EQ(run_cli({"make", (dir / "x.tap").string(), tap}).code, 2);
    EXPECT_EQ(run_cli({"make", (dir / "x.mgt").string()}).code, 2);
    EXPECT_EQ(run_cli({"make", (dir / "x.mgt").string(), (dir / "missing.tap").string()}).code, 2);
    EXPECT_FALSE(fs::exists(dir / "x.mgt"));
}
