// Data that is not there is never reported as a success: a file whose chain ends early, an image cut short, a
// container with missing sectors. The command says what is missing on stderr and exits with 1.
#include "cli_test_util.h"
#include "support/dsk_builder.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing_support::run_cli;

TEST(CliMissingData, IsReportedOnStderrWithExit1)
{
    testing_support::TempDir dir;
    const std::string d = dir.path().string() + "/";
    fs::copy_file(testing_support::real_images_dir() / "chain_short.mgt", dir / "short.mgt");
    const Bytes success = testing_support::read_file(testing_support::real_images_dir() / "success.mgt");
    testing_support::write_file(dir / "ten.mgt", std::span(success).first(10000));
    testing_support::write_file(dir / "half.img", std::span(success).first(409600));
    testing_support::write_file(dir / "empty.mgt", Bytes{});

    testing_support::ImageBuilder b;
    const auto chain = b.add_zx_file(0, 1, "prog", Bytes(3000, 0x20)); // six sectors
    b.link(chain[1], {0, 0});
    const auto screen = b.add_zx_file(1, 7, "screen", Bytes(6912, 0x55));
    b.link(screen[12], {0, 0});
    b.write(dir / "cut.mgt");
    testing_support::write_file(dir / "damaged.dsk",
                                testing_support::DskBuilder().ids(4, 0, {1, 2, 3, 5, 6, 7, 8, 9, 10}).build(success));

    const std::string cut_prog = "kestrel-cli: " + d +
                                 "cut.mgt: slot 0: the chain ends after 2 of 6 sectors; 1,989 "
                                 "bytes are zeros\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"export", d + "short.mgt", "--slot", "0", "-o", d + "a.bin"},
         "kestrel-cli: " + d + "short.mgt: slot 0: the chain ends after 10 of 49 sectors; 19,526 bytes are zeros\n"},
        {{"tap", d + "cut.mgt", "-o", d + "a.tap", "--slot", "0"}, cut_prog},
        {{"basic", d + "cut.mgt", "--slot", "0"}, cut_prog},
        {{"screen", d + "cut.mgt", "--slot", "1", "-o", d + "a.png"},
         "kestrel-cli: " + d + "cut.mgt: slot 1: the chain ends after 13 of 14 sectors; 291 bytes are zeros\n"},
        {{"list", d + "ten.mgt"},
         "kestrel-cli: " + d +
             "ten.mgt: 10,000 bytes, 809,200 short of 819,200; it holds no full directory "
             "(the missing bytes read as zeros)\n"},
        {{"list", d + "half.img"},
         "kestrel-cli: " + d + "half.img: 409,600 bytes, 409,600 short of 819,200; the missing bytes read as zeros\n"},
        {{"list", d + "empty.mgt"}, "kestrel-cli: " + d + "empty.mgt: empty: it holds no directory\n"},
        {{"list", d + "damaged.dsk"}, "kestrel-cli: " + d + "damaged.dsk: track 4 side 0: sector 4 missing\n"},
    };
    for (const auto& [args, message] : cases) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 1) << args[1];
        EXPECT_EQ(r.err.substr(0, message.size()), message); // basic then lists the damage the zeros make
    }
    // What could be had is still written: the export has the listed length.
    EXPECT_EQ(fs::file_size(dir / "a.bin"), 24617u);
}
