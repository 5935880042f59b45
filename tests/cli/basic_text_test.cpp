// BASIC text onto discs and tapes, in-process: a ZX program typed as people type it goes to a tape that listbasic
// lists as written and to a disc whose tape form is that same tape; a SAM program added with the real file's name
// and auto-run line is that file, entry and data, byte for byte; text that is no program changes nothing.
#include "../tape/tool_run.h"
#include "cli_test_util.h"
#include "image/directory.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using testing_support::has_tool;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::run_tool;
using testing_support::TempDir;

namespace {

void write_text(const fs::path& path, std::string_view text)
{
    testing_support::write_file(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

constexpr std::string_view TYPED = "10 border 2: paper 6: CLS\r\n20 PRINT AT 10,5;\"Kestrel \xC2\xA9 1987\"\r\n"
                                   "30 GOTO 30\r\n";
constexpr std::string_view LISTED = "   10 BORDER 2: PAPER 6: CLS \n   20 PRINT AT 10,5;\"Kestrel \\* 1987\"\n"
                                    "   30 GO TO 30\n";

} // namespace

TEST(CliBasicText, ZxTextGoesToATapeAndToADiscAlike)
{
    const TempDir dir;
    write_text(dir / "border.bas", TYPED);
    const auto tap =
        run_cli({"tap", (dir / "border.bas").string(), "-o", (dir / "border.tap").string(), "--line", "10"});
    EXPECT_EQ(tap.code, 0) << tap.err;
    EXPECT_EQ(tap.out, "Program: border, 78 bytes\n");
    if (has_tool("listbasic")) {
        EXPECT_EQ(run_tool("listbasic", dir / "border.tap").output, LISTED);
    }

    const fs::path image = dir / "disc.mgt";
    fs::copy_file(testing_support::real_images_dir() / "zx_basic_vars.mgt", image);
    const auto add = run_cli({"add", image.string(), (dir / "border.bas").string(), "--line", "10"});
    EXPECT_EQ(add.code, 0) << add.err;
    EXPECT_EQ(run_cli({"basic", image.string(), "--slot", "1"}).out, LISTED);
    const auto again =
        run_cli({"tap", image.string(), "--slot", "1", "--no-rewrite", "-o", (dir / "disc.tap").string()});
    EXPECT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(read_file(dir / "disc.tap"), read_file(dir / "border.tap"));
}

TEST(CliBasicText, SamTextIsTheFileTheSamSaves)
{
    const TempDir dir;
    const fs::path real = testing_support::real_images_dir() / "sam" / "sam_basic_auto.mgt";
    const fs::path image = dir / "disc.mgt";
    fs::copy_file(real, image);
    write_text(dir / "hello.bas", "10 print \"Hello world!\"\n");
    const auto add = run_cli({"add", image.string(), (dir / "hello.bas").string(), "--sam", "--name", "basic_auto",
                              "--line", "12345", "-o", (dir / "out.mgt").string()});
    ASSERT_EQ(add.code, 1) << add.err; // the name is the real file's, which is on the disc
    const fs::path empty = dir / "empty.mgt";
    ASSERT_EQ(run_cli({"rm", image.string(), "--slot", "0", "-o", empty.string()}).code, 0);
    ASSERT_EQ(run_cli({"add", empty.string(), (dir / "hello.bas").string(), "--sam", "--name", "basic_auto", "--line",
                       "12345"})
                  .code,
              0);
    const auto ours = testing_support::open_source(empty);
    const auto theirs = testing_support::open_source(real);
    const auto entry = image::read_entry_bytes(*ours, 0);
    const auto saved = image::read_entry_bytes(*theirs, 0);
    // The freed slot takes the new file. Name, type and everything after the sector map are the same; only the
    // places on the disc may differ.
    EXPECT_TRUE(std::equal(entry.begin(), entry.begin() + 11, saved.begin()));
    EXPECT_TRUE(std::equal(entry.begin() + 210, entry.end(), saved.begin() + 210));
    EXPECT_EQ(run_cli({"export", empty.string(), "--slot", "0", "-o", (dir / "ours").string()}).code, 0);
    EXPECT_EQ(run_cli({"export", real.string(), "--slot", "0", "-o", (dir / "theirs").string()}).code, 0);
    EXPECT_EQ(read_file(dir / "ours"), read_file(dir / "theirs"));
}

TEST(CliBasicText, TextThatIsNoProgramChangesNothing)
{
    const TempDir dir;
    const fs::path image = dir / "disc.mgt";
    fs::copy_file(testing_support::real_images_dir() / "zx_basic_vars.mgt", image);
    const auto before = read_file(image);
    write_text(dir / "bad.bas", "10 PRINT 1\nPRINT 2\n");
    const auto add = run_cli({"add", image.string(), (dir / "bad.bas").string()});
    EXPECT_EQ(add.code, 2);
    EXPECT_EQ(add.err, "kestrel-cli: " + (dir / "bad.bas").string() + ": line 2: no line number\n");
    EXPECT_EQ(read_file(image), before);
    const auto tap = run_cli({"tap", (dir / "bad.bas").string(), "-o", (dir / "bad.tap").string()});
    EXPECT_EQ(tap.code, 2);
    EXPECT_FALSE(fs::exists(dir / "bad.tap"));
}

TEST(CliBasicText, OptionsForBasicTextOnlyAndLinesInRange)
{
    const TempDir dir;
    const fs::path image = dir / "disc.mgt";
    fs::copy_file(testing_support::real_images_dir() / "zx_basic_vars.mgt", image);
    write_text(dir / "p.bas", "10 STOP\n");
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string bas = (dir / "p.bas").string();
    const std::vector<Case> cases = {
        {{"add", image.string(), image.string(), "--line", "10", "-o", (dir / "o.mgt").string()},
         "kestrel-cli: --line is for BASIC text (.bas)\n"},
        {{"add", image.string(), bas, "--start", "100"},
         "kestrel-cli: --start and --exec are for code files, not BASIC text\n"},
        {{"add", image.string(), bas, "--line", "16384"},
         "kestrel-cli: " + bas + ": an auto-run line is 0-16383, not 16384\n"},
        {{"tap", image.string(), "-o", (dir / "o.tap").string(), "--line", "1"},
         "kestrel-cli: --name and --line are for BASIC text (.bas)\n"},
    };
    const auto before = read_file(image);
    for (const Case& c : cases) {
        const auto run = run_cli(c.args);
        EXPECT_EQ(run.code, 2) << c.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
    }
    EXPECT_EQ(read_file(image), before);
}
