// Edits that never lose a change: kestrel-cli edits of one image run as processes at the same time each end up in
// the image or are refused; a write by another program just before the rename refuses the edit; protected files,
// images of several names and read-only images are refused unless forced; the owner stays; a write past the file
// size limit fails with words; and the refusals that name the wrong cause name the right one.
#include "cli_test_util.h"
#include "common/atomic_file.h"
#include "files/disc_save.h"
#include "support/image_builder.h"
#include "tape/tap_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Starts kestrel-cli as a process of its own, its stderr going to `err_file`, after `setup` ran in the child.
pid_t start_cli(const std::vector<std::string>& args, const fs::path& err_file, const std::function<void()>& setup = {})
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    if (setup)
        setup();
    std::vector<char*> argv{const_cast<char*>(KESTREL_CLI_PATH)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(KESTREL_CLI_PATH, argv.data());
    ::_exit(127);
}

// The exit status, or 128 + the signal that ended it.
int wait_for(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string text_of(const fs::path& file)
{
    const Bytes bytes = read_file(file);
    return std::string(bytes.begin(), bytes.end());
}

fs::path disc_with_two_files(const TempDir& dir)
{
    testing_support::write_file(dir / "a.bin", Bytes(300, 1));
    testing_support::write_file(dir / "b.bin", Bytes(700, 2));
    const fs::path disc = dir / "disc.mgt";
    testing_support::write_file(disc, Bytes(static_cast<std::size_t>(image::IMAGE_BYTES)));
    EXPECT_EQ(run_cli({"add", disc.string(), (dir / "a.bin").string(), (dir / "b.bin").string()}).code, 0);
    return disc;
}

} // namespace

// Pairs of edits started at the same moment as processes, a pipe holding both back until both are ready: every edit
// that exits 0 is found in the image; any other says the image changed on disc.
TEST(EditSafety, ConcurrentEditsOfOneImageAreEachKeptOrRefused)
{
    TempDir dir;
    testing_support::write_file(dir / "x.bin", Bytes(2000, 3));
    struct Pair
    {
        std::vector<std::string> first, second;
        std::function<bool(const std::string&list)> first_done, second_done;
    };
    auto has = [](const char* text) {
        return [text](const std::string& list) {
            return list.find(text) != std::string::npos;
        };
    };
    int kept = 0;
    for (int round = 0; round < 40; ++round) {
        const fs::path disc = disc_with_two_files(dir);
        const std::string d = disc.string();
        const std::string x = (dir / "x.bin").string();
        const Pair pair =
            round % 2 == 0
                ? Pair{{"add", d, x, "--name", "one"}, {"add", d, x, "--name", "two"}, has("one"), has("two")}
                : Pair{{"rename", d, "--slot", "0", "renamed"},
                       {"attr", d, "--slot", "1", "+h"},
                       has("renamed"),
                       has("\tH\t")};
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        const auto wait_at_gate = [&] {
            ::close(gate[1]);
            char byte = 0;
            [[maybe_unused]] const auto got = ::read(gate[0], &byte, 1);
        };
        const pid_t a = start_cli(pair.first, dir / "a.err", wait_at_gate);
        const pid_t b = start_cli(pair.second, dir / "b.err", wait_at_gate);
        ::close(gate[0]);
        ::close(gate[1]);
        const int code_a = wait_for(a);
        const int code_b = wait_for(b);
        const std::string list = run_cli({"list", d}).out;
        for (const auto& [code, err, done] : {std::tuple{code_a, text_of(dir / "a.err"), pair.first_done},
                                              std::tuple{code_b, text_of(dir / "b.err"), pair.second_done}}) {
            if (code == 0) {
                EXPECT_TRUE(done(list)) << "round " << round << ": an edit said done and is not in\n" << list;
                ++kept;
            } else {
                EXPECT_NE(err.find("changed on disc since it was read"), std::string::npos) << err;
            }
        }
    }
    EXPECT_GT(kept, 40);
}

// Another program writes the image after the temporary file is written: the last compare, just before the rename,
// refuses the edit, and that program's bytes stay.
TEST(EditSafety, AWriteJustBeforeTheRenameRefusesTheEdit)
{
    TempDir dir;
    const fs::path disc = disc_with_two_files(dir);
    const files::DiscValue before{read_file(disc), image::Layout::Interleaved};
    const auto edited = files::rename_file(before, 0, "other");
    ASSERT_TRUE(std::holds_alternative<files::Edited>(edited));
    Bytes theirs = before.bytes;
    theirs[500000] ^= 0xFF;
    files::SaveOptions options;
    options.before_last_compare = [&] {
        const int fd = ::open(disc.c_str(), O_WRONLY);
        ASSERT_EQ(::pwrite(fd, theirs.data(), theirs.size(), 0), static_cast<ssize_t>(theirs.size()));
        ::close(fd);
    };
    const files::SaveResult saved =
        files::save_disc(disc.string(), before, std::get<files::Edited>(edited).disc, options);
    EXPECT_FALSE(saved.written);
    EXPECT_EQ(saved.problem, files::SaveProblem::Changed);
    EXPECT_EQ(read_file(disc), theirs);
}

TEST(EditSafety, RefusalsNameTheirCauseAndLeaveTheImageAlone)
{
    TempDir dir;
    // A tape of 17 files of 48,000 bytes: 16 fill 1,520 sectors, the 17th needs 95 more; the disc has 1,557 free.
    Bytes big_tape;
    for (int n = 0; n < 17; ++n) {
        image::TapeHeader header{};
        header[image::tape_header::TYPE] = 3;
        const std::string name = "big" + std::to_string(n) + "       ";
        std::copy_n(name.begin(), 10, header.begin() + image::tape_header::NAME.at);
        header[image::tape_header::LENGTH] = 48000 % 256;
        header[image::tape_header::LENGTH + 1] = 48000 / 256;
        tape::write_tap_blocks(big_tape, header, Bytes(48000, static_cast<std::uint8_t>(n)));
    }
    testing_support::write_file(dir / "big.tap", big_tape);
    testing_support::write_file(dir / "two.zip", testing_support::kind_sample("zip"));
    struct Case
    {
        const char* name;
        std::vector<std::string> args; // after the command: IMAGE is put second
        int code;
        std::string message;
        std::function<void(const fs::path& disc)> setup = {};
    };
    const auto protect = [](const fs::path& disc) {
        ASSERT_EQ(run_cli({"attr", disc.string(), "--slot", "0", "+p"}).code, 0);
    };
    const auto link = [&](const fs::path& disc) {
        fs::create_hard_link(disc, dir / "other-name.mgt");
    };
    const std::vector<Case> cases = {
        {"rm of a protected file", {"rm", "--slot", "0"}, 1, "slot 0: \"a\" is protected", protect},
        {"rm --wipe of a protected file", {"rm", "--slot", "0", "--wipe"}, 1, "is protected", protect},
        {"rename of a protected file", {"rename", "--slot", "0", "new"}, 1, "is protected", protect},
        {"rm --force of a protected file", {"rm", "--slot", "0", "--force"}, 0, "", protect},
        {"an image of two names", {"rm", "--slot", "0"}, 2, "has 2 names (hard links)", link},
        {"an image of two names, forced",
         {"rm", "--slot", "0", "--force"},
         0,
         "the other name of " + (dir / "disc.mgt").string() + " keeps the old disc",
         link},
        {"a read-only image",
         {"rm", "--slot", "0"},
         2,
         "disc.mgt is read-only; nothing written",
         [](const fs::path& disc) {
             fs::permissions(disc, fs::perms(0444));
         }},
        {"a disc image as FILE", {"add", "DISC"}, 2, "a disc image, not a file to add"},
        {"an unknown flag", {"attr", "--slot", "0", "+x"}, 2, "unknown flag '+x'"},
        {"a name of spaces", {"rename", "--slot", "0", "   "}, 1, "needs at least one character other than a space"},
        {"a tape larger than a disc",
         {"add", (dir / "big.tap").string()},
         1,
         "needs 58 more free sectors: 1,615 needed, 1,557 free; nothing changed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path disc = disc_with_two_files(dir);
        if (c.setup)
            c.setup(disc);
        const Bytes before = read_file(disc);
        std::vector<std::string> args = {c.args.front(), disc.string()};
        for (std::size_t i = 1; i < c.args.size(); ++i)
            args.push_back(c.args[i] == "DISC" ? disc.string() : c.args[i]);
        const auto result = run_cli(args);
        EXPECT_EQ(result.code, c.code) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        if (c.code != 0) {
            EXPECT_EQ(read_file(disc), before);
        }
        fs::permissions(disc, fs::perms(0644));
        fs::remove(disc);
        fs::remove(dir / "other-name.mgt");
    }
    // An image chosen in an archive is not edited in place, as other containers are not.
    const auto zipped = run_cli({"rm", (dir / "two.zip").string() + "/" + "x.mgt", "--slot", "0"});
    EXPECT_EQ(zipped.code, 2);
    EXPECT_NE(zipped.err.find("give -o OUT"), std::string::npos) << zipped.err;
}

// As root, the edited image keeps the owner and group it had.
TEST(EditSafety, AnEditKeepsTheOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    const fs::path disc = disc_with_two_files(dir);
    ASSERT_EQ(::chown(disc.c_str(), 65534, 65534), 0);
    ASSERT_EQ(run_cli({"rename", disc.string(), "--slot", "0", "new"}).code, 0);
    struct stat info
    {};
    ASSERT_EQ(::stat(disc.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534U);
    EXPECT_EQ(info.st_gid, 65534U);
}

// Under a file size limit kestrel-cli is not killed by SIGXFSZ: the write fails with words and exit status 2.
TEST(EditSafety, AWritePastTheFileSizeLimitFailsWithWords)
{
    TempDir dir;
    const fs::path disc = disc_with_two_files(dir);
    const Bytes before = read_file(disc);
    const pid_t pid = start_cli({"rename", disc.string(), "--slot", "0", "new"}, dir / "err", [] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(wait_for(pid), 2);
    EXPECT_NE(text_of(dir / "err").find("cannot write " + disc.string() + ": File too large; nothing written"),
              std::string::npos)
        << text_of(dir / "err");
    EXPECT_EQ(read_file(disc), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 4); // a.bin, b.bin, disc.mgt, err
}

// The temporary file has a short name of its own: an image whose name takes 255 bytes is edited, and a temporary
// file left by a killed edit matches no image pattern.
TEST(EditSafety, AnImageOfTheLongestNameIsEdited)
{
    TempDir dir;
    const fs::path disc = disc_with_two_files(dir);
    const fs::path longest = dir / (std::string(251, 'n') + ".mgt");
    fs::rename(disc, longest);
    const auto result = run_cli({"rename", longest.string(), "--slot", "0", "new"});
    EXPECT_EQ(result.code, 0) << result.err;
}
