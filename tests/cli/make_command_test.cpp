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

TEST(CliMake, SystemFileComesFirstAndWholeOrNotAtAll)
{
    TempDir dir;
    const fs::path images = testing_support::real_images_dir();
    const std::string boot = (images / "solo-forth-boot.mgt").string();
    tape_of(images / "success.mgt", dir, "s");
    const std::string tap = (dir / "s.tap").string();
    const auto made = run_cli({"make", (dir / "new.mgt").string(), tap, "--system", boot});
    ASSERT_EQ(made.code, 0) << made.err;
    EXPECT_EQ(made.out.substr(0, made.out.find('\n')), "slot 0: \"+SYS 2a\" ZX Code (4), 6656 bytes, 14 sectors from "
                                                       "track 4 sector 1 (system file from " +
                                                           boot + " slot 0)");
    // The data block of the copy is that of the original tape (whose header carries another second parameter).
    run_cli({"tap", "--no-rewrite", (dir / "new.mgt").string(), "--slot", "0", "-o", (dir / "copy.tap").string()});
    const Bytes copy = read_file(dir / "copy.tap");
    const Bytes original = read_file(images / "reference-taps" / "gplusdos-sys-2a.tap");
    constexpr std::size_t HEADER_BLOCK = 21;
    ASSERT_EQ(copy.size(), original.size());
    EXPECT_TRUE(std::equal(copy.begin() + HEADER_BLOCK, copy.end(), original.begin() + HEADER_BLOCK));

    const auto slot5 =
        run_cli({"make", (dir / "new.mgt").string(), tap, "--system", boot, "--system-slot", "5", "--force"});
    EXPECT_EQ(slot5.out.substr(0, 18), "slot 0: \"ea5a.f42\"");
    // No system file, and the damaged chains of mgtdisklib's images: nothing is made.
    for (const auto& [name, slot, why] :
         {std::tuple{"success.mgt", "", "no file whose name starts with +SYS"},
          std::tuple{"chain_bad.mgt", "0", "slot 0: the chain leaves the data sectors after 10 of its 49 sectors"},
          std::tuple{"chain_loop.mgt", "0", "slot 0: the chain comes back to a sector after 10 of its 49 sectors"},
          std::tuple{"chain_short.mgt", "0", "slot 0: the chain ends after 10 of its 49 sectors"}}) {
        std::vector<std::string> args = {"make", (dir / "none.mgt").string(), tap, "--system",
                                         (images / name).string()};
        if (*slot)
            args.insert(args.end(), {"--system-slot", slot});
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "kestrel-cli: " + (images / name).string() + ": " + why + "\n");
    }
    EXPECT_FALSE(fs::exists(dir / "none.mgt"));
}

TEST(CliMake, RefusalsLeaveNoFileAndAnExistingOneAlone)
{
    TempDir dir;
    tape_of(testing_support::real_images_dir() / "success.mgt", dir, "s");
    const std::string tap = (dir / "s.tap").string();
    std::vector<std::string> args = {"make", (dir / "full.mgt").string()};
    args.insert(args.end(), 81, tap); // one file more than a directory holds
    const auto full = run_cli(args);
    EXPECT_EQ(full.code, 1);
    EXPECT_EQ(full.err,
              "kestrel-cli: " + (dir / "full.mgt").string() + ": 81 files, a disc holds 80; nothing written\n");
    EXPECT_FALSE(fs::exists(dir / "full.mgt"));

    testing_support::write_file(dir / "old.mgt", Bytes{1, 2, 3});
    EXPECT_EQ(run_cli({"make", (dir / "old.mgt").string(), tap}).code, 2);
    EXPECT_EQ(read_file(dir / "old.mgt"), (Bytes{1, 2, 3}));
    // Replaced with --force; the same file twice goes on the disc twice.
    const auto twice = run_cli({"make", (dir / "old.mgt").string(), tap, tap, "--force"});
    EXPECT_EQ(twice.code, 0);
    EXPECT_NE(twice.out.find(" block #0); same name as slot 0\n"), std::string::npos) << twice.out;
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

// A file that is no tape is refused by name, and the disc is made of the other tapes; a tape's skipped blocks get a
// line each for the first five, then a count by reason; when nothing can be placed, the message says what the
// tapes gave instead.
TEST(CliMake, TapesAreCheckedAndSkippedBlocksSummed)
{
    TempDir dir;
    const fs::path boot = testing_support::real_images_dir() / "solo-forth-boot.mgt";
    const Bytes tap = tape_of(testing_support::real_images_dir() / "success.mgt", dir, "s");
    constexpr std::size_t HEADER_BLOCK = 21;
    const auto tape = [&](const std::string& name, const Bytes& bytes) {
        testing_support::write_file(dir / name, bytes);
        return (dir / name).string();
    };
    Bytes many;
    for (int i = 0; i < 81; ++i)
        many.insert(many.end(), tap.begin(), tap.end());
    Bytes zero_blocks = tap;
    zero_blocks.resize(tap.size() + 14, 0); // seven blocks of no bytes
    const std::string zeros = tape("zeros.tap", Bytes(4096, 0));
    const std::string good = tape("good.tap", tap);
    const std::string header_only = tape("header.tap", Bytes(tap.begin(), tap.begin() + HEADER_BLOCK));
    const std::string short_blocks = tape("short.tap", zero_blocks);
    const std::string eighty_one = tape("many.tap", many);
    const std::string not_a_tape = ": not a tape file (no TZX signature, and no .tap block at its start)\n";
    const std::string too_short = ": block of 0 bytes, too short to hold anything, skipped\n";
    const struct
    {
        std::vector<std::string> tapes;
        int code;
        std::string err; // OUT stands for the output's path
        bool made;
    } cases[] = {
        {{boot.string()}, 2, boot.string() + ": not a tape file (819,200 bytes, a disc image's size)\n", false},
        {{zeros, (dir / "missing.tap").string()},
         2,
         zeros + not_a_tape + (dir / "missing.tap").string() + ": No such file or directory\n",
         false},
        {{zeros, good}, 1, zeros + not_a_tape, true},
        {{short_blocks},
         1,
         short_blocks + ": block #2" + too_short + short_blocks + ": block #3" + too_short + short_blocks +
             ": block #4" + too_short + short_blocks + ": block #5" + too_short + short_blocks + ": block #6" +
             too_short + short_blocks + ": ... and 2 more blocks too short to hold anything\n",
         true},
        {{header_only, zeros},
         1,
         header_only + ": block #0: \"Success\": header without its data block, skipped\n" + zeros + not_a_tape +
             "OUT: no file to place: the tapes hold no file a standard loader reads (1 header without its data "
             "block; 1 tape not read)\n",
         false},
        {{eighty_one}, 1, "OUT: 81 files, a disc holds 80; nothing written\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tapes.front());
        const fs::path out = dir / "out.mgt";
        std::vector<std::string> args = {"make", out.string()};
        args.insert(args.end(), c.tapes.begin(), c.tapes.end());
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, c.code);
        std::string err = c.err;
        for (std::size_t at = 0; (at = err.find("OUT: ", at)) != std::string::npos;)
            err.replace(at, 3, out.string());
        std::string expected;
        for (std::size_t from = 0; from < err.size();) {
            const std::size_t end = err.find('\n', from) + 1;
            expected += "kestrel-cli: " + err.substr(from, end - from);
            from = end;
        }
        EXPECT_EQ(r.err, expected);
        EXPECT_EQ(fs::exists(out), c.made);
        fs::remove(out);
    }
}
