// Export of a file's data. The bytes of whole ZX and SAM files are checked through kestrel-cli export
// (tests/cli); here what only a damaged disc shows: a chain that ends early, and the files that have no export.
#include "image/file_export.h"

#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <variant>

using testing_support::ImageBuilder;

TEST(ExportFile, ChainEndingEarlyLeavesZerosUpToTheListedLength)
{
    ImageBuilder b;
    std::vector<std::uint8_t> data(2000, 0x5A);
    const auto chain = b.add_sam_file(0, 19, "cut", data);
    b.link(chain[1], {0, 0}); // two sectors: 1,020 stream bytes, the nine-byte header first
    testing_support::EntryFields snapshot;
    snapshot.status = 5;
    snapshot.name = "snap";
    b.entry(1, snapshot);
    image::RawImage disc(std::make_unique<image::MemoryBytes>(b.bytes()), b.layout());

    std::fill(data.begin() + 2 * 510 - 9, data.end(), std::uint8_t{0});
    const auto cut = std::get<0>(image::export_file(disc, 0));
    EXPECT_EQ(cut.bytes, data);
    // Two sectors deliver 2 * 510 - 9 bytes of data (the link bytes of the last are none of it).
    EXPECT_EQ(cut.chain.sectors_read, 2);
    EXPECT_EQ(cut.chain.zero_bytes, 2000u - 1011u);
    EXPECT_EQ(image::shortfall_text(cut.chain), "the chain ends after 2 of 4 sectors; 989 bytes are zeros");
    EXPECT_EQ(std::get<1>(image::export_file(disc, 1)),
              "ZX 48K Snap files cannot be exported (only ZX files with a tape form and SAM files can)");
    EXPECT_EQ(std::get<1>(image::export_file(disc, 2)), "no file in slot 2");
}
