// The output rule, over every command that writes a file: never over one of its inputs, by whatever name, and
// over an existing file only with --force. And "--" ends the options of every command.
#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

using Args = std::vector<std::string>;

struct Writer
{
    const char* command;
    std::string input;     // the file it reads
    std::string extension; // of the outputs made for it
    std::function<Args(const std::string& input, const std::string& out)> args;
    bool reads_archives = false; // takes ARCHIVE.zip/NAME as its input
};

std::set<fs::path> entries(const fs::path& dir)
{
    std::set<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        found.insert(entry.path());
    return found;
}

Args with(Args args, bool force)
{
    if (force)
        args.push_back("--force");
    return args;
}

} // namespace

TEST(CliOutput, NeverOverAnInputAndOverAnExistingFileOnlyWithForce)
{
    TempDir dir;
    const fs::path images = testing_support::real_images_dir();
    fs::copy_file(images / "success.mgt", dir / "disc.mgt");
    fs::copy_file(images / "zx_snap_48k.mgt", dir / "snap.mgt");
    fs::copy_file(images / "success.mgt", dir / "drive.mgt");
    // A tape is read by its contents, so it may carry an image's name; so may the output of make.
    ASSERT_EQ(run_cli({"tap", (dir / "disc.mgt").string(), "-o", (dir / "tape.mgt").string()}).code, 0);
    ASSERT_EQ(std::system(("cd '" + dir.path().string() + "' && zip -q discs.zip disc.mgt").c_str()), 0);
    fs::create_directory(dir / "sub");

    const auto slot_command = [](const char* name) {
        return [name](const std::string& in, const std::string& out) {
            return Args{name, in, "--slot", "0", "-o", out};
        };
    };
    const std::string d = dir.path().string() + "/";
    const Writer writers[] = {
        {"tap", d + "disc.mgt", ".tap",
         [](auto& in, auto& out) {
             return Args{"tap", in, "-o", out};
         },
         true},
        {"screen", d + "disc.mgt", ".png", slot_command("screen"), true},
        {"export", d + "disc.mgt", ".bin", slot_command("export"), true},
        {"snap", d + "snap.mgt", ".z80", slot_command("snap")},
        {"image", d + "disc.mgt", ".mgt",
         [](auto& in, auto& out) {
             return Args{"image", in, "-o", out};
         }},
        {"make", d + "tape.mgt", ".mgt",
         [](auto& in, auto& out) {
             return Args{"make", out, in};
         }},
        {"disc read", d + "drive.mgt", ".mgt",
         [](auto& in, auto& out) {
             return Args{"disc", "read", "A:", out, "--device", in, "--driver", "raw"};
         }},
    };
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.command);
        const fs::path in = w.input;
        fs::create_symlink(in, dir / ("link" + w.extension));
        fs::create_hard_link(in, dir / ("hard" + w.extension));
        // (input, output): the same path, a symlink, a hard link, a path through "..", the archive of the input.
        std::vector<std::pair<std::string, std::string>> over_input = {
            {in.string(), in.string()},
            {in.string(), d + "link" + w.extension},
            {in.string(), d + "hard" + w.extension},
            {in.string(), d + "sub/../" + in.filename().string()},
        };
        if (w.reads_archives)
            over_input.emplace_back(d + "discs.zip/disc.mgt", d + "discs.zip");
        const auto input_bytes = read_file(in);
        const auto archive_bytes = read_file(dir / "discs.zip");
        const auto before = entries(dir.path());
        for (const auto& [input, out] : over_input) {
            for (const bool force : {false, true}) {
                const auto r = run_cli(with(w.args(input, out), force));
                EXPECT_EQ(r.code, 2) << out << ' ' << force;
                EXPECT_EQ(r.err.rfind("kestrel-cli: ", 0), 0u) << r.err;
                EXPECT_EQ(read_file(in), input_bytes) << out;
                EXPECT_EQ(read_file(dir / "discs.zip"), archive_bytes) << out;
                EXPECT_EQ(entries(dir.path()), before) << out; // no output, no temporary file
            }
        }

        const std::string old = d + "old" + w.extension;
        testing_support::write_file(old, std::vector<std::uint8_t>{1, 2, 3});
        const auto kept = run_cli(w.args(in.string(), old));
        EXPECT_EQ(kept.code, 2);
        EXPECT_EQ(kept.err, "kestrel-cli: " + old + ": exists (use --force to replace it)\n");
        EXPECT_EQ(read_file(old), (std::vector<std::uint8_t>{1, 2, 3}));
        const auto replaced = run_cli(with(w.args(in.string(), old), true));
        EXPECT_EQ(replaced.code, 0) << replaced.err;
        EXPECT_GT(read_file(old).size(), 3u);
        fs::remove(old);
        fs::remove(dir / ("link" + w.extension));
        fs::remove(dir / ("hard" + w.extension));
    }
}

TEST(CliOutput, DoubleDashEndsTheOptionsOfEveryCommand)
{
    TempDir dir;
    const fs::path images = testing_support::real_images_dir();
    fs::copy_file(images / "success.mgt", dir / "-d.mgt");
    ASSERT_EQ(run_cli({"tap", "-o", (dir / "-t.tap").string(), "--", (dir / "-d.mgt").string()}).code, 0);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path()); // the names start with '-' only as given relative
    const std::vector<Args> cases = {
        {"list", "--", "-d.mgt"},
        {"check", "--", "-d.mgt"},
        {"basic", "--slot", "0", "--", "-d.mgt"},
        {"tap", "-o", "o.tap", "--", "-d.mgt"},
        {"screen", "--slot", "0", "-o", "o.png", "--", "-d.mgt"},
        {"export", "--slot", "0", "--", "-d.mgt", "-o"}, // after "--", "-o" is a second IMAGE
        {"image", "-o", "o.mgt", "--", "-d.mgt"},
        {"make", "--", "-m.mgt", "-t.tap"},
        {"disc", "read", "--device", "-d.mgt", "--driver", "raw", "A:", "--", "-r.mgt"},
        {"list", "--", "-h"}, // a file name, not the help
    };
    std::vector<int> codes;
    for (const Args& args : cases)
        codes.push_back(run_cli(args).code);
    const bool made = fs::exists("-m.mgt") && fs::exists("-r.mgt") && fs::exists("o.png");
    fs::current_path(cwd);
    EXPECT_EQ(codes, (std::vector<int>{0, 0, 0, 0, 0, 2, 0, 0, 0, 2}));
    EXPECT_TRUE(made);
}
