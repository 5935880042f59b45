#include "tape/file_export.h"

#include "support/image_builder.h"
#include "tape/extract.h"

#include <gtest/gtest.h>

#include <variant>

using testing_support::ImageBuilder;

namespace {

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251 + 1);
    return bytes;
}

std::variant<std::vector<std::uint8_t>, std::string> export_slot(const ImageBuilder& b, int slot)
{
    image::RawImage disc(std::make_unique<image::MemoryBytes>(b.bytes()), b.layout());
    return tape::export_file(disc, slot);
}

} // namespace

TEST(ExportFile, ZxAsExtractedSamWithoutHeaderZerosWhereTheChainEnds)
{
    ImageBuilder b(image::Layout::Sequential);
    const auto code = pattern(1000, 3);
    const auto sam = pattern(20000, 5); // one whole 16 KiB page and 3,616 bytes: the length needs both fields
    const auto cut = pattern(2000, 9);
    b.add_zx_file(0, 4, "code", code, 32768);
    b.add_sam_file(1, 19, "samcode", sam);
    const auto chain = b.add_sam_file(2, 19, "cut", cut);
    b.link(chain[1], {0, 0}); // two sectors: 1,020 stream bytes, the nine-byte header first
    b.add_zx_file(3, 4, "empty", {});

    EXPECT_EQ(std::get<0>(export_slot(b, 0)), code);
    image::RawImage disc(std::make_unique<image::MemoryBytes>(b.bytes()), b.layout());
    EXPECT_EQ(std::get<0>(export_slot(b, 0)), tape::extract_file(disc, 0)->data);
    EXPECT_EQ(std::get<0>(export_slot(b, 1)), sam);

    const auto short_chain = std::get<0>(export_slot(b, 2));
    ASSERT_EQ(short_chain.size(), 2000u);
    constexpr std::size_t DELIVERED = 2 * 510 - 9;
    EXPECT_TRUE(std::equal(cut.begin(), cut.begin() + DELIVERED, short_chain.begin()));
    EXPECT_TRUE(std::all_of(short_chain.begin() + DELIVERED, short_chain.end(), [](std::uint8_t x) { return x == 0; }));

    EXPECT_TRUE(std::get<0>(export_slot(b, 3)).empty());
}

TEST(ExportFile, RefusesWhatHasNoDataToExport)
{
    ImageBuilder b;
    for (const auto& [slot, code] : {std::pair{0, 5}, std::pair{1, 12}, std::pair{2, 30}}) {
        testing_support::EntryFields fields;
        fields.status = static_cast<std::uint8_t>(code);
        fields.name = "file";
        b.entry(slot, fields);
    }
    const std::pair<int, std::string> cases[] = {
        {0, "ZX 48K Snap files cannot be exported (only ZX files with a tape form and SAM files can)"},
        {1, "UniDos SubDir files cannot be exported (only ZX files with a tape form and SAM files can)"},
        {2, "type 30 files cannot be exported (only ZX files with a tape form and SAM files can)"},
        {3, "no file in slot 3"},
    };
    for (const auto& [slot, reason] : cases)
        EXPECT_EQ(std::get<1>(export_slot(b, slot)), reason) << slot;
}
