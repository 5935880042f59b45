#include "inspect/directory_check.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

// Only the disc of raw Forth blocks has no +D/SAM directory among the real images; a CP/M disc (every directory
// byte 0xE5) has none either.
TEST(ForeignDirectory, OnlyDiscsOfOtherSystemsAreDoubted)
{
    int images = 0;
    for (const auto& path : testing_support::real_images()) {
        SCOPED_TRACE(path.filename().string());
        ++images;
        const auto source = testing_support::open_source(path);
        const auto reason = inspect::foreign_directory_reason(image::read_directory(*source));
        if (path.filename() == "solo-forth-library-blocks.mgt")
            EXPECT_EQ(reason.value_or(""), "most used entries fail basic checks: type, sector count, track range, "
                                           "sector number");
        else
            EXPECT_FALSE(reason) << *reason;
    }
    EXPECT_GE(images, 20);

    testing_support::ImageBuilder cpm;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot)
        std::ranges::fill(cpm.entry_bytes(slot), std::uint8_t{0xE5});
    const testing_support::TempDir dir;
    const auto written = cpm.write(dir / "cpm.mgt");
    EXPECT_TRUE(inspect::foreign_directory_reason(image::read_directory(*testing_support::open_source(written))));
}
