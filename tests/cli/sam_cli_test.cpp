// The screen and basic commands on SAM files: pictures at their mode's size, listings of SAM BASIC.
#include "cli_test_util.h"
#include "support/image_builder.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::run_cli;

namespace {

constexpr std::size_t MODE_BYTE = 221;

struct SamScreens
{
    testing_support::TempDir dir;
    std::string image;
    std::string png = (dir / "out.png").string();

    // Slot 0: MODE 3, every byte 0x1B (pixels 0, 1, 2, 3); slot 1: MODE 4, every byte 0x12; slot 2: a MODE 1 file
    // whose entry says MODE 4.
    SamScreens()
    {
        testing_support::ImageBuilder b;
        std::vector<std::uint8_t> mode3(24576, 0x1B);
        const std::vector<std::uint8_t> palette = {0x00, 0x10, 0x20, 0x7F, 0x44};
        mode3.insert(mode3.end(), palette.begin(), palette.end());
        mode3.resize(24576 + 40, 0);
        mode3.push_back(0xFF);
        std::vector<std::uint8_t> mode4 = mode3;
        std::fill_n(mode4.begin(), 24576, std::uint8_t{0x12});
        b.add_sam_file(0, 20, "mode3", mode3);
        b.add_sam_file(1, 20, "mode4", mode4);
        b.add_sam_file(2, 20, "mode1", std::vector<std::uint8_t>(6953, 0));
        const auto entries = b.sector({0, 1});
        entries[MODE_BYTE] = 2;
        entries[256 + MODE_BYTE] = 3;
        b.sector({0, 2})[MODE_BYTE] = 3;
        image = b.write(dir / "sam.mgt").string();
    }
};

} // namespace

TEST(CliSam, ScreensArePicturesOfTheirModesSizeOrNothing)
{
    SamScreens f;
    auto r = run_cli({"screen", f.image, "--slot", "0", "-o", f.png});
    ASSERT_EQ(r.code, 0) << r.err;
    QImage picture(QString::fromStdString(f.png));
    ASSERT_EQ(picture.size(), QSize(512, 192));
    // Pixel values 0-3 show table entries 0, 2, 1, 3: black, red (0x20), blue (0x10), white.
    EXPECT_EQ(picture.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(picture.pixel(1, 0), 0xFF920000u);
    EXPECT_EQ(picture.pixel(2, 191), 0xFF000092u);
    EXPECT_EQ(picture.pixel(511, 191), 0xFFFFFFFFu);

    r = run_cli({"screen", f.image, "--slot", "1", "-o", f.png, "--force"});
    ASSERT_EQ(r.code, 0) << r.err;
    picture = QImage(QString::fromStdString(f.png));
    ASSERT_EQ(picture.size(), QSize(256, 192));
    EXPECT_EQ(picture.pixel(0, 0), 0xFF000092u);
    EXPECT_EQ(picture.pixel(255, 191), 0xFF920000u);

    // A screen whose length does not fit its mode writes nothing.
    r = run_cli({"screen", f.image, "--slot", "2", "-o", (f.dir / "none.png").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not a SAM screen: 6953 bytes do not fit a MODE 4 screen (24592 to 25385)"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(f.dir / "none.png"));
}

TEST(CliSam, BasicListsSamPrograms)
{
    const std::string real = (testing_support::real_images_dir() / "sam" / "sam_basic_auto.mgt").string();
    auto r = run_cli({"basic", real, "--slot", "0"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "   10 PRINT \"Hello world!\"\n");
    EXPECT_EQ(r.err, "");

    r = run_cli({"basic", real, "--slot", "0", "--rewrite"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--rewrite applies to ZX BASIC programs only"), std::string::npos) << r.err;

    // A program without its end marker lists with its damage.
    testing_support::TempDir dir;
    testing_support::ImageBuilder b;
    b.add_sam_file(0, 16, "cut", std::vector<std::uint8_t>{0x00, 0x0A, 0x02, 0x00, 0xB1, 0x0D});
    const std::string cut = b.write(dir / "cut.mgt").string();
    r = run_cli({"basic", cut, "--slot", "0"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "   10 STOP\n** damage at byte 6: the program has no end marker (0xFF)\n");
    EXPECT_NE(r.err.find("damage at byte 6: the program has no end marker (0xFF)"), std::string::npos) << r.err;
}
