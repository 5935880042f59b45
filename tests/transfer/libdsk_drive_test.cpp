// The transfers through libdsk, with its image-file drivers standing in for the floppy drive: real images read
// "from the drive" into both layouts and written back, judged by dsktrans, which converts between libdsk's
// formats without this program.
#include "transfer/disc_transfer.h"
#include "transfer/libdsk_drive.h"

#include "support/drive_files.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace testing_support;
using transfer::Outcome;

namespace {

class LibdskDrive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!has_dsktrans())
            GTEST_SKIP() << "dsktrans (libdsk-utils) is not installed";
    }

    // The image at `path` opened as a drive through `driver`.
    static std::unique_ptr<transfer::Drive> drive(const fs::path& path, const std::string& driver, bool create = false)
    {
        auto opened = transfer::open_libdsk_drive({path.string(), driver}, create);
        EXPECT_TRUE(opened.drive) << opened.error;
        return std::move(opened.drive);
    }

    TempDir m_dir;
};

} // namespace

TEST_F(LibdskDrive, RealImagesReadIntoBothLayoutsAsDsktransConvertsThem)
{
    // "raw" is libdsk's cylinder-by-cylinder file, the .mgt layout; "rawoo" is side after side, the .img one.
    for (const auto& [name, driver] : {std::pair{"samdos2.mgt", "raw"}, std::pair{"sam-sequential.img", "rawoo"}}) {
        SCOPED_TRACE(name);
        const fs::path source = m_dir / name;
        fs::copy_file(real_images_dir() / name, source);
        const fs::path as_mgt = m_dir / "expected.mgt";
        const fs::path as_img = m_dir / "expected.img";
        ASSERT_TRUE(dsktrans(source, driver, as_mgt, "raw"));
        ASSERT_TRUE(dsktrans(source, driver, as_img, "rawoo"));

        for (const auto& [layout, expected] :
             {std::pair{image::Layout::Interleaved, as_mgt}, std::pair{image::Layout::Sequential, as_img}}) {
            const auto report = transfer::read_disc(*drive(source, driver), layout);
            ASSERT_EQ(report.outcome, Outcome::Done);
            EXPECT_TRUE(report.unreadable.empty());
            EXPECT_EQ(report.image, read_file(expected));
        }
        EXPECT_EQ(read_file(source), read_file(real_images_dir() / name));
        fs::remove(as_mgt);
        fs::remove(as_img);
    }
}

TEST_F(LibdskDrive, ImageWrittenToANewEdskReadsBackTheSame)
{
    for (const char* name : {"solo-forth-boot.mgt", "sam-sequential.img"}) {
        SCOPED_TRACE(name);
        const fs::path source_path = real_images_dir() / name;
        const auto before = read_file(source_path);
        const fs::path edsk = m_dir / (std::string(name) + ".edsk");
        {
            auto source = open_source(source_path);
            const auto written = transfer::write_disc(*drive(edsk, "edsk", true), *source);
            EXPECT_EQ(transfer::write_summary(written), "160 tracks written and verified");
        }
        EXPECT_EQ(read_file(source_path), before);
        // dsktrans reads the drive's file back as the layout of the source.
        const fs::path back = m_dir / (std::string("back-") + name);
        ASSERT_TRUE(
            dsktrans(edsk, "edsk", back, image::layout_from_path(name) == image::Layout::Sequential ? "rawoo" : "raw"));
        EXPECT_EQ(read_file(back), before);
        const auto again = transfer::read_disc(*drive(edsk, "edsk"), image::layout_from_path(name));
        EXPECT_EQ(again.image, before);
    }
}

TEST_F(LibdskDrive, SectorMissingFromTheTrackIsReportedAndZeroFilled)
{
    const auto disc = read_file(real_images_dir() / "zx_snap_128k.mgt");
    const fs::path edsk = m_dir / "damaged.edsk";
    write_damaged_edsk(edsk, disc, {5, 1, 4});
    const auto report = transfer::read_disc(*drive(edsk, "edsk"), image::Layout::Interleaved);
    ASSERT_EQ(report.outcome, Outcome::Done);
    ASSERT_EQ(report.unreadable.size(), 1u);
    EXPECT_EQ(transfer::unreadable_text(report.unreadable[0]), "track 5 side 1 sector 4 unreadable");
    auto expected = disc;
    const auto at = static_cast<std::size_t>(image::sector_offset(image::Layout::Interleaved, 0x85, 3));
    std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(at), 512, std::uint8_t{0});
    EXPECT_EQ(report.image, expected);
}

TEST_F(LibdskDrive, OpenFailuresSayWhy)
{
    const fs::path missing = m_dir / "none.dsk";
    EXPECT_EQ(transfer::open_libdsk_drive({missing.string(), "dsk"}).error, "No such file or directory");
    EXPECT_EQ(transfer::open_libdsk_drive({missing.string(), "floppy"}, true).error, "No such file or directory");
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(transfer::open_libdsk_drive({missing.string(), "nodriver"}).error, "libdsk has no driver 'nodriver'");
    const fs::path text = m_dir / "text.dsk";
    write_file(text, std::vector<std::uint8_t>(100, 'x'));
    EXPECT_EQ(transfer::open_libdsk_drive({text.string(), "edsk"}).error,
              "Disc rejected by driver. (libdsk driver edsk)");
    EXPECT_EQ(transfer::floppy_address('b').device, "/dev/fd1");
    EXPECT_EQ(transfer::floppy_address('A').driver, "floppy");
}
