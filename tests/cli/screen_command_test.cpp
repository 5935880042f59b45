#include "cli_test_util.h"
#include "support/image_builder.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::ImageBuilder;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

std::vector<std::string> folder_names(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct ScreenImage
{
    TempDir dir;
    std::string image;
    std::string png = (dir / "out.png").string();

    ScreenImage()
    {
        // Leftmost pixel of every cell set, ink black on paper white; the last cell bright white ink on black.
        std::vector<std::uint8_t> screen(6912, 0x80);
        std::fill(screen.begin() + 6144, screen.end(), std::uint8_t{0x38});
        screen.back() = 0x47;
        ImageBuilder b;
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
    ASSERT_EQ(picture.width(), 256);
    ASSERT_EQ(picture.height(), 192);
    EXPECT_EQ(picture.pixel(0, 0), 0xFF040204u);
    EXPECT_EQ(picture.pixel(1, 0), 0xFFCCC6CCu);
    EXPECT_EQ(picture.pixel(8, 100), 0xFF040204u);
    EXPECT_EQ(picture.pixel(255, 183), 0xFFCCC6CCu);
    EXPECT_EQ(picture.pixel(248, 191), 0xFFFCFAFCu);
    EXPECT_EQ(picture.pixel(255, 191), 0xFF040204u);

    // A shorter file is shown all the same, and the output is replaced.
    r = run_cli({"screen", f.image, "-o", f.png, "--slot", "4"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(QImage(QString::fromStdString(f.png)).pixel(1, 0), 0xFF040204u);
    EXPECT_EQ(folder_names(f.dir.path()), (std::vector<std::string>{"out.png", "pics.mgt"}));
}

TEST(CliScreen, FailuresWriteNoFile)
{
    ScreenImage f;
    std::filesystem::create_directory(f.dir / "taken.png");
    const std::string missing_folder = (f.dir / "no" / "out.png").string();
    struct Case
    {
        std::vector<std::string> args;
        int code;
        std::string err_start;
    };
    const std::vector<Case> cases = {
        {{"screen", f.image, "--slot", "6", "-o", f.png}, 2, "kestrel-cli: " + f.image + ": slot 6 holds no file"},
        {{"screen", f.image, "--slot", "5", "-o", f.png}, 1, "kestrel-cli: " + f.image + ": slot 5: nothing"},
        {{"screen", f.image, "--slot", "3", "-o", missing_folder}, 1, "kestrel-cli: " + missing_folder + ": "},
        {{"screen", f.image, "--slot", "3", "-o", (f.dir / "taken.png").string()}, 1, "kestrel-cli: "},
        {{"screen", (f.dir / "none.mgt").string(), "--slot", "3", "-o", f.png}, 2, "kestrel-cli: "},
        {{"screen", f.image, "--slot", "80", "-o", f.png}, 2, "kestrel-cli: --slot"},
        {{"screen", f.image, "--slot", "3"}, 2, "kestrel-cli: screen needs"},
        {{"screen", f.image, "-o", f.png, "--slot"}, 2, "kestrel-cli: --slot needs"},
        {{"screen", f.image, f.image, "--slot", "3", "-o", f.png}, 2, "kestrel-cli: screen takes"},
        {{"screen", f.image, "--slot", "3", "--slot", "3", "-o", f.png}, 2, "kestrel-cli: --slot given twice"},
        {{"screen", f.image, "--colour", "--slot", "3", "-o", f.png}, 2, "kestrel-cli: unknown option"},
    };
    for (const Case& c : cases) {
        const auto r = run_cli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.err.rfind(c.err_start, 0), 0u) << r.err;
        EXPECT_EQ(folder_names(f.dir.path()), (std::vector<std::string>{"pics.mgt", "taken.png"}));
    }
}
