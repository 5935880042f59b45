#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

using testing_support::EntryFields;
using testing_support::ImageBuilder;
using testing_support::run_cli;
using testing_support::TempDir;

TEST(CliList, PrintsCellsAndSlotTabSeparatedWithRawNames)
{
    TempDir dir;
    ImageBuilder b(image::Layout::Sequential);
    EntryFields e;
    e.status = 0x84;
    e.raw_name = {'S', 0xA9, 'r', 'e', 'e', 'n', ' ', ' ', ' ', ' '};
    e.zx_length = 6912;
    e.zx_start = 16384;
    e.sector_count = 14;
    e.first_track = 4;
    e.first_sector = 1;
    b.entry(3, e);
    const auto path = b.write(dir / "Disc.IMG");

    const auto r = run_cli({"list", path.string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "S\xA9reen    \t16384\t6912\tH\tZX Code (4)\t1\t4\t14\t3\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliList, EmptyImagePrintsNothing)
{
    TempDir dir;
    const auto path = ImageBuilder().write(dir / "empty.dsk");
    const auto r = run_cli({"list", path.string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");
}

TEST(CliList, UnreadableInputIsReportedWithThePathAsGiven)
{
    TempDir dir;
    ImageBuilder().write(dir / "disc.tap");
    std::filesystem::create_directory(dir / "a.mgt");
    ImageBuilder().write(dir / "a.mgt" / "noext");

    struct Case
    {
        std::string path;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {(dir / "disc.tap").string(), "not a disc image"},
        {(dir / "a.mgt" / "noext").string(), "not a disc image"},
        {(dir / "missing.mgt").string(), "No such file or directory"},
        {(dir / "a.mgt").string(), "Is a directory"},
    };
    for (const Case& c : cases) {
        const auto r = run_cli({"list", c.path});
        EXPECT_EQ(r.code, 2) << c.path;
        EXPECT_EQ(r.out, "") << c.path;
        EXPECT_EQ(r.err.rfind("kestrel-cli: " + c.path + ": ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(CliList, UsageErrors)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"list"}, {"list", "a.mgt", "b.mgt"}, {"lst"}}) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err, "");
    }
    const auto help = run_cli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("list IMAGE"), std::string::npos);
}
