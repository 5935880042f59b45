#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <streambuf>

using testing_support::run_cli;

namespace {

// Output that can never be written, like a full disc or a closed pipe behind stdout.
class FailingBuffer : public std::streambuf
{
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

} // namespace

TEST(Cli, HelpAndVersionGoToStdoutWithExit0)
{
    for (const std::string option : {"--help", "-h", "help"}) {
        const auto r = run_cli({option});
        EXPECT_EQ(r.code, 0) << option;
        EXPECT_EQ(r.out.rfind("Usage: kestrel-cli COMMAND", 0), 0u) << option;
        EXPECT_EQ(r.err, "") << option;
    }
    const auto version = run_cli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("kestrel-cli [0-9]+\\.[0-9]+(\\.[0-9]+)?\n"))) << version.out;
    EXPECT_EQ(version.err, "");
}

TEST(Cli, HelpAfterACommandShowsTheHelpAndDoesNothingElse)
{
    testing_support::TempDir dir;
    const std::string image = testing_support::ImageBuilder().write(dir / "disc.mgt").string();
    const std::string tape = (dir / "out.tap").string();
    const std::string png = (dir / "out.png").string();
    const std::vector<std::vector<std::string>> cases = {
        {"list", "--help"},
        {"check", image, "-h"},
        {"tap", image, "-o", tape, "--help"},
        {"screen", "--help", image, "--slot", "0", "-o", png},
    };
    for (const auto& args : cases) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 0) << args.front();
        EXPECT_EQ(r.out.rfind("Usage: kestrel-cli " + args.front() + " ", 0), 0u) << args.front();
        EXPECT_EQ(r.err, "") << args.front();
    }
    EXPECT_FALSE(std::filesystem::exists(tape));
    EXPECT_FALSE(std::filesystem::exists(png));
    // disc alone: the help of both its commands.
    const auto disc = run_cli({"disc", "--help"});
    EXPECT_EQ(disc.code, 0);
    EXPECT_EQ(disc.out.rfind("Usage: kestrel-cli disc read ", 0), 0u);
    EXPECT_NE(disc.out.find("\nUsage: kestrel-cli disc write "), std::string::npos);
}

TEST(Cli, UsageErrorsNameTheProgramAndPointToTheHelp)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"-x"}, {"lst", "a.mgt"}, {"list"}}) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrel-cli: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("\nTry 'kestrel-cli --help' for more information.\n"), std::string::npos) << r.err;
    }
}

TEST(Cli, TapAndScreenReportTheSameOptionErrorsInTheSameWords)
{
    const auto first_line = [](const std::vector<std::string>& args) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        return r.err.substr(0, r.err.find('\n'));
    };
    for (const std::string command : {"tap", "screen"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(first_line({command, "a.mgt", "--slot", "3", "-o", "x", "-o", "y"}),
                  "kestrel-cli: " + command + " takes one -o OUT" + (command == "screen" ? ".png" : ""));
        EXPECT_EQ(first_line({command, "a.mgt", "--slot"}), "kestrel-cli: option '--slot' needs a value");
        EXPECT_EQ(first_line({command, "a.mgt", "--slot", "780", "-o", "x"}),
                  "kestrel-cli: invalid slot '780' (0-777)");
        EXPECT_EQ(first_line({command, "a.mgt", "--slot", "3", "-o", "x", "b.mgt"}),
                  "kestrel-cli: " + command + " takes exactly one IMAGE");
        EXPECT_EQ(first_line({command, "a.mgt", "--slot", "3", "-o", "x", "--fast"}),
                  "kestrel-cli: unknown option '--fast'");
    }
    // A file name that is a lone dash is an image, not an option.
    EXPECT_EQ(first_line({"screen", "-", "--slot", "1", "-o", "x.png"}),
              "kestrel-cli: -: not a disc image (the name must end in .mgt, .dsk, .img, .sad, .gz or .zip)");
    EXPECT_EQ(first_line({"screen", "a.mgt", "--slot", "1", "--slot", "2", "-o", "x.png"}),
              "kestrel-cli: screen takes one --slot N");
}

TEST(Cli, OutputThatCannotBeWrittenIsReportedOnStderr)
{
    FailingBuffer broken;
    std::ostream out(&broken);
    std::ostringstream err;
    EXPECT_EQ(cli::run_and_flush({"--help"}, out, err), 2);
    EXPECT_EQ(err.str(), "kestrel-cli: standard output: cannot write\n");

    // A worse exit status stays; the lost output is reported after the command's own message.
    testing_support::TempDir dir;
    const std::string clean = testing_support::ImageBuilder().write(dir / "clean.mgt").string();
    const std::string missing = (dir / "missing.mgt").string();
    std::ostream out_2(&broken);
    std::ostringstream err_2;
    EXPECT_EQ(cli::run_and_flush({"check", clean, missing}, out_2, err_2), 2);
    EXPECT_EQ(err_2.str(), "kestrel-cli: " + missing + ": No such file or directory\n" +
                               "kestrel-cli: standard output: cannot write\n");

    std::ostringstream fine;
    std::ostringstream no_err;
    EXPECT_EQ(cli::run_and_flush({"--version"}, fine, no_err), 0);
    EXPECT_NE(fine.str(), "");
    EXPECT_EQ(no_err.str(), "");
}
