#include "common/atomic_file.h"

#include "support/file_size_limit.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::TempDir;

TEST(AtomicFile, ReplacesOnlyWhenEverythingWasWritten)
{
    TempDir dir;
    const auto path = (dir / "out.bin").string();
    const std::vector<std::uint8_t> old_bytes(100, 1);
    const std::vector<std::uint8_t> new_bytes(5000, 2);
    testing_support::write_file(path, old_bytes);
    {
        testing_support::FileSizeLimit limit(1000);
        EXPECT_TRUE(common::write_file_atomically(path, new_bytes).has_value());
    }
    EXPECT_EQ(testing_support::read_file(path), old_bytes);
    {
        common::AtomicFile abandoned(path);
        abandoned.write(new_bytes);
    }
    EXPECT_EQ(testing_support::read_file(path), old_bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary left

    EXPECT_EQ(common::write_file_atomically(path, new_bytes), std::nullopt);
    EXPECT_EQ(testing_support::read_file(path), new_bytes);
    // A folder, or a file in a folder that does not exist, is not written.
    EXPECT_TRUE(common::write_file_atomically(dir.path().string(), new_bytes).has_value());
    EXPECT_TRUE(common::write_file_atomically((dir / "no" / "x").string(), new_bytes).has_value());
}

// Every umask call of this program comes here and is counted, then made as the system call it stands for.
namespace {
std::atomic<int> umask_calls{0};
}

extern "C" mode_t umask(mode_t mask)
{
    ++umask_calls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

// The umask a new file is created under is never learnt by setting it: another thread (the drive transfer runs on
// one) creating a file meanwhile would get a file open to everyone.
TEST(AtomicFile, NewFilesTakeTheUmaskWithoutTheProcessUmaskChanging)
{
    TempDir dir;
    const mode_t saved = ::umask(027);
    umask_calls = 0;
    const std::vector<std::uint8_t> bytes(10, 1);
    for (const char* name : {"a", "b"}) {
        ASSERT_EQ(common::write_file_atomically((dir / name).string(), bytes), std::nullopt);
        EXPECT_EQ(std::filesystem::status(dir / name).permissions(), std::filesystem::perms(0640));
    }
    EXPECT_EQ(umask_calls, 0);
    ::umask(saved);
}

// The temporary file has a short hidden name that no image pattern matches, and goes when the program is stopped by
// SIGTERM while it exists (the test stops a child process of its own).
TEST(AtomicFile, ATemporaryFileIsHiddenAndGoesOnSigterm)
{
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) {
        common::AtomicFile file((dir / (std::string(200, 'n') + ".mgt")).string());
        file.write(std::vector<std::uint8_t>(10, 1));
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (!name.starts_with(".kestrel-") || !name.ends_with(".tmp") || name.size() > 24)
                ::_exit(3);
        }
        ::raise(SIGTERM);
        ::_exit(4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
}
