#include "common/atomic_file.h"

#include "support/file_size_limit.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

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
