#include "image/geometry.h"

#include "image/directory.h"
#include "image/extract.h"
#include "image/file_bytes.h"
#include "inspect/scan.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>

#include <sys/stat.h>

using image::Layout;
using testing_support::TempDir;

TEST(LayoutFromPath, ExtensionDecidesInAnyLetterCase)
{
    EXPECT_EQ(image::layout_from_path("a/b/game.MGT"), Layout::Interleaved);
    EXPECT_EQ(image::layout_from_path("game.Dsk"), Layout::Interleaved);
    EXPECT_EQ(image::layout_from_path("game.mgt"), Layout::Interleaved);
    EXPECT_EQ(image::layout_from_path("game.IMG"), Layout::Sequential);
    EXPECT_EQ(image::layout_from_path("game.tap"), Layout::None);
    EXPECT_EQ(image::layout_from_path("game"), Layout::None);
    EXPECT_EQ(image::layout_from_path("game.mgt.bak"), Layout::None);
}

TEST(LayoutFromPath, PointInFolderNameDoesNotCount)
{
    EXPECT_EQ(image::layout_from_path("discs.mgt/readme"), Layout::None);
    EXPECT_EQ(image::layout_from_path("discs.img/"), Layout::None);
    EXPECT_EQ(image::layout_from_path("a.b/c.img"), Layout::Sequential);
}

struct OffsetCase
{
    std::uint8_t track_byte;
    int sector_index;
    std::int64_t interleaved;
    std::int64_t sequential;
};

TEST(SectorOffset, WorkedValuesOfBothLayouts)
{
    const std::array<OffsetCase, 10> cases = {{
        {0, 0, 0, 0},
        {1, 0, 10240, 5120},
        {1, 3, 11776, 6656},
        {4, 0, 40960, 20480},
        {133, 2, 57344, 436224},
        {79, 9, 813568, 409088},
        {80, 0, 808960, 404480},
        {207, 9, 818688, 818688},
        {255, 10, 818688, 818688},
        {127, -1, 808960, 404480},
    }};
    for (const OffsetCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "track byte " << int(c.track_byte) << " index " << c.sector_index);
        EXPECT_EQ(image::sector_offset(Layout::Interleaved, c.track_byte, c.sector_index), c.interleaved);
        EXPECT_EQ(image::sector_offset(Layout::Sequential, c.track_byte, c.sector_index), c.sequential);
    }
}

TEST(SectorOffset, OnlyFirstAndLastTrackAgreeBetweenLayouts)
{
    for (int side = 0; side < 2; ++side) {
        for (int track = 0; track < 80; ++track) {
            const auto track_byte = static_cast<std::uint8_t>(track | (side ? 0x80 : 0));
            for (int s = 0; s < 10; ++s) {
                const bool same = image::sector_offset(Layout::Interleaved, track_byte, s) ==
                                  image::sector_offset(Layout::Sequential, track_byte, s);
                const bool edge = (side == 0 && track == 0) || (side == 1 && track == 79);
                EXPECT_EQ(same, edge) << "side " << side << " track " << track << " sector " << s;
            }
        }
    }
}

TEST(SectorOffset, OutOfRangeAddressesAreClamped)
{
    for (int t = 80; t < 128; ++t) {
        EXPECT_EQ(image::sector_offset(Layout::Interleaved, static_cast<std::uint8_t>(t), 0),
                  image::sector_offset(Layout::Interleaved, 79, 0));
        EXPECT_EQ(image::sector_offset(Layout::Sequential, static_cast<std::uint8_t>(t | 0x80), 5),
                  image::sector_offset(Layout::Sequential, 207, 5));
    }
    EXPECT_EQ(image::sector_offset(Layout::Interleaved, 5, -1), image::sector_offset(Layout::Interleaved, 5, 0));
    EXPECT_EQ(image::sector_offset(Layout::Interleaved, 5, 10), image::sector_offset(Layout::Interleaved, 5, 9));
    EXPECT_EQ(image::sector_offset(Layout::Interleaved, 5, 1000), image::sector_offset(Layout::Interleaved, 5, 9));
}

namespace {

// An image whose every byte names its own sector, so reads can be checked by content.
std::vector<std::uint8_t> numbered_image(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i / image::SECTOR_SIZE + i % 7);
    return bytes;
}

} // namespace

TEST(OpenImage, RefusesWhatIsNoImageWithItsReason)
{
    TempDir dir;
    testing_support::write_file(dir / "x.tap", numbered_image(static_cast<std::size_t>(image::IMAGE_BYTES)));
    std::filesystem::create_directory(dir / "folder.mgt");
    // Neither blocks nor reads an endless stream: refused before anything is read.
    for (const char* fifo : {"fifo.mgt", "fifo.img.gz", "fifo.zip", "fifo.sad"})
        ASSERT_EQ(::mkfifo((dir / fifo).c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/urandom", dir / "r.mgt");
    std::filesystem::create_symlink("/dev/urandom", dir / "r.dsk.gz");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"x.tap", "not a disc image (the name must end in .mgt, .dsk, .img, .sad, .gz or .zip)"},
        {"none.mgt", "No such file or directory"},
        {"folder.mgt", "Is a directory"},
        {"fifo.mgt", "not a regular file"},
        {"fifo.img.gz", "not a regular file"},
        {"fifo.zip", "not a regular file"},
        {"fifo.sad", "not a regular file"},
        {"r.mgt", "not a regular file"},
        {"r.dsk.gz", "not a regular file"},
    };
    for (const auto& [name, reason] : cases) {
        const auto opened = image::open_image((dir / name).string());
        ASSERT_TRUE(std::holds_alternative<common::Error>(opened)) << name;
        EXPECT_EQ(std::get<common::Error>(opened).text, reason) << name;
    }
}

TEST(ReadSector, MemoryAndFileSourcesReadTheSameSectors)
{
    TempDir dir;
    const auto bytes = numbered_image(static_cast<std::size_t>(image::IMAGE_BYTES) - 700);
    testing_support::write_file(dir / "x.img", bytes);
    for (Layout layout : {Layout::Interleaved, Layout::Sequential}) {
        const auto file = testing_support::open_raw(dir / "x.img", layout);
        image::RawImage memory(std::make_unique<image::MemoryBytes>(bytes), layout);
        std::array<std::uint8_t, 512> a{};
        std::array<std::uint8_t, 512> b{};
        for (int track_byte : {0, 5, 79, 0x80, 0xCF, 0xFF, 200}) {
            for (int sector : {-1, 0, 9, 10}) {
                a.fill(1);
                b.fill(2);
                file->read_sector(static_cast<std::uint8_t>(track_byte), sector, a);
                memory.read_sector(static_cast<std::uint8_t>(track_byte), sector, b);
                ASSERT_EQ(a, b) << track_byte << " " << sector;
            }
        }
    }
}

TEST(ReadSector, PartBeyondEndOfShortFileReadsAsZero)
{
    TempDir dir;
    // The file ends 100 bytes into track 1 sector 1 (interleaved offset 10,240).
    const auto bytes = numbered_image(10240 + 100);
    testing_support::write_file(dir / "short.mgt", bytes);
    const auto file = testing_support::open_raw(dir / "short.mgt", Layout::Interleaved);
    std::array<std::uint8_t, 512> dest;

    dest.fill(0xEE);
    file->read_sector(1, 0, dest);
    EXPECT_TRUE(std::equal(dest.begin(), dest.begin() + 100, bytes.begin() + 10240));
    EXPECT_TRUE(std::all_of(dest.begin() + 100, dest.end(), [](std::uint8_t b) { return b == 0; }));

    // A sector wholly beyond the end, after a full read: nothing of the earlier read survives.
    file->read_sector(0, 0, dest);
    dest[0] = 0xEE;
    file->read_sector(40, 0, dest);
    EXPECT_TRUE(std::all_of(dest.begin(), dest.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(ReadSector, EverySectorInAnyOrderMatchesTheFile)
{
    TempDir dir;
    // Short by half a sector, so the last sector of the file ends early.
    const auto bytes = numbered_image(static_cast<std::size_t>(image::IMAGE_BYTES) - 256);
    testing_support::write_file(dir / "all.img", bytes);
    for (Layout layout : {Layout::Interleaved, Layout::Sequential}) {
        const auto file = testing_support::open_raw(dir / "all.img", layout);
        std::array<std::uint8_t, 512> dest{};
        // Stride through the disc so that reads jump between distant parts of the file and come back.
        for (int n = 0, k = 0; n < 1600; ++n, k = (k + 797) % 1600) {
            const auto track_byte = static_cast<std::uint8_t>((k / 10) % 80 | (k >= 800 ? 0x80 : 0));
            const int sector = k % 10;
            dest.fill(0xEE);
            file->read_sector(track_byte, sector, dest);
            const auto offset = static_cast<std::size_t>(image::sector_offset(layout, track_byte, sector));
            for (std::size_t i = 0; i < dest.size(); ++i) {
                const std::uint8_t expected = offset + i < bytes.size() ? bytes[offset + i] : 0;
                ASSERT_EQ(dest[i], expected) << "offset " << offset + i;
            }
        }
    }
}

// Images are read, never mapped: a file cut short while it is open (another program rewriting it) gives the
// directory as it was when opened and the lost sectors as zeros marked Unreadable, never a signal.
TEST(ReadSector, FileCutShortWhileOpenKeepsItsDirectoryAndReadsTheRestAsUnreadable)
{
    TempDir dir;
    const std::vector<std::uint8_t> data(3000, 0x5A);
    for (Layout layout : {Layout::Interleaved, Layout::Sequential}) {
        for (std::uintmax_t cut : {std::uintmax_t{0}, std::uintmax_t{20000}}) {
            testing_support::ImageBuilder b(layout);
            b.add_zx_file(0, 4, "first", data, 32768);
            const auto chain = b.add_zx_file(1, 4, "second", data, 32768);
            const auto path = b.write(dir / (layout == Layout::Interleaved ? "cut.mgt" : "cut.img"));
            auto opened = image::open_image(path.string());
            ASSERT_TRUE(std::holds_alternative<image::OpenImage>(opened));
            image::SectorSource& source = *std::get<image::OpenImage>(opened).source;
            std::filesystem::resize_file(path, cut);

            EXPECT_EQ(image::read_directory(source).size(), 2u);
            std::array<std::uint8_t, 512> sector{};
            sector.fill(0xEE);
            EXPECT_EQ(source.read_sector(chain.back().track_byte, chain.back().number - 1, sector),
                      image::SectorStatus::Unreadable);
            EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](std::uint8_t x) { return x == 0; }));
            const auto second = image::extract_file(source, 1);
            ASSERT_TRUE(second.has_value());
            EXPECT_TRUE(std::all_of(second->data.begin(), second->data.end(), [](std::uint8_t x) { return x == 0; }));
            const auto scan = inspect::scan_image(source, path.string());
            EXPECT_TRUE(scan.completed);
            EXPECT_GT(scan.problems, 0);
        }
    }
}
