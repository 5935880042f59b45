#include "cli_test_util.h"
#include "support/image_builder.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::run_cli;

namespace {

struct ScreenImage
{
    testing_support::TempDir dir;
    std::string image;
    std::string png = (dir / "out.png").string();

    ScreenImage()
    {
        // Leftmost pixel of every cell set, ink black on paper white; the last cell bright white ink on black.
        std::vector<std::uint8_t> screen(6912, 0x80);
        std::fill(screen.begin() + 6144, screen.end(), std::uint8_t{0x38});
        screen.back() = 0x47;
        testing_support::ImageBuilder b;
        b.add_zx_file(3, 7, "picture", screen, 16384);
        b.add_zx_file(4, 4, "short", std::vector<std::uint8_t>(100, 0xFF));
        b.add_sam_file(5, 20, "sam", screen);
        image = b.write(dir / "pics.mgt").string();
    }
};

} // namespace

TEST(CliScreen, WritesTheFileAsAPngPicture)
{
    ScreenImage f;
    auto r = run_cli({"screen", f.image, "--slot", "3", "-o", f.png});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    const QImage picture(QString::fromStdString(f.png));
    ASSERT_EQ(picture.size(), QSize(256, 192));
    EXPECT_EQ(picture.pixel(0, 0), 0xFF040204u);
    EXPECT_EQ(picture.pixel(1, 0), 0xFFCCC6CCu);
    EXPECT_EQ(picture.pixel(255, 183), 0xFFCCC6CCu);
    EXPECT_EQ(picture.pixel(248, 191), 0xFFFCFAFCu);
    EXPECT_EQ(picture.pixel(255, 191), 0xFF040204u);

    // A shorter file is shown all the same (zero bytes after its end), replacing the picture.
    EXPECT_EQ(run_cli({"screen", f.image, "-o", f.png, "--slot", "4", "--force"}).code, 0);
    EXPECT_EQ(QImage(QString::fromStdString(f.png)).pixel(1, 0), 0xFF040204u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), 2); // no temporary left
}

TEST(CliScreen, FailuresWriteNoFile)
{
    ScreenImage f;
    std::filesystem::create_directory(f.dir / "taken.png");
    const std::string no_folder = (f.dir / "no" / "out.png").string();
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"screen", f.image, "--slot", "6", "-o", f.png}, 2},                                     // free slot
        {{"screen", f.image, "--slot", "5", "-o", f.png}, 1},                                     // nothing extracted
        {{"screen", f.image, "--slot", "3", "-o", no_folder}, 2},                                 // cannot be written
        {{"screen", f.image, "--slot", "3", "-o", (f.dir / "taken.png").string(), "--force"}, 2}, // a folder
        {{"screen", (f.dir / "none.mgt").string(), "--slot", "3", "-o", f.png}, 2},
        {{"screen", f.image, "--slot", "80", "-o", f.png}, 2},
        {{"screen", f.image, "-o", f.png, "--slot"}, 2},
        {{"screen", f.image, f.image, "--slot", "3", "-o", f.png}, 2},
    };
    for (const auto& [args, code] : cases) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, code) << r.err;
        EXPECT_EQ(r.err.rfind("kestrel-cli: ", 0), 0u) << r.err;
        EXPECT_FALSE(std::filesystem::exists(f.png) || std::filesystem::exists(no_folder)) << r.err;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), 2);
    }
}
