// kestrel-cli thumbnail over the real discs: a PNG of the size asked, which is `kestrel-cli screen`'s picture of
// the disc's first screen scaled by Qt (a scaler we did not write), or a picture of the catalogue.
#include "cli_test_util.h"
#include "image/directory.h"
#include "image/file_types.h"
#include "support/image_builder.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

using testing_support::run_cli;

namespace {

// The slot of the first file `list` shows as a screen: 6,912 bytes of a ZX type, or a SAM Screen.
std::optional<int> first_screen_slot(const std::filesystem::path& disc)
{
    for (const image::CatalogueRow& row : image::read_directory(*testing_support::open_source(disc))) {
        if (row.type_code == image::TYPE_SAM_SCREEN || (image::file_type(row.type_code).zx && image::is_screen(row)))
            return row.slot;
    }
    return std::nullopt;
}

// The largest difference of a colour channel between two pictures of the same size.
int largest_difference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max(
                {largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

} // namespace

TEST(CliThumbnail, RealDiscsGiveTheirFirstScreenScaledOrTheirCatalogue)
{
    testing_support::TempDir dir;
    const std::string screen_png = (dir / "screen.png").string();
    const std::string thumb_png = (dir / "thumb.png").string();
    const std::string blank = testing_support::ImageBuilder().write(dir / "blank.mgt").string();
    int screens = 0;
    int catalogues = 0;
    for (const auto& folder : {std::filesystem::path(), std::filesystem::path("sam")}) {
        for (const auto& entry : std::filesystem::directory_iterator(testing_support::real_images_dir() / folder)) {
            if (entry.path().extension() != ".mgt" && entry.path().extension() != ".img" &&
                entry.path().extension() != ".dsk")
                continue;
            const std::string disc = entry.path().string();
            SCOPED_TRACE(disc);
            const auto slot = first_screen_slot(entry.path());
            QImage screen;
            if (slot) {
                // A screen whose chain ends early is drawn with zeros there, exit status 1.
                ASSERT_LE(run_cli({"screen", disc, "--slot", std::to_string(*slot), "-o", screen_png, "--force"}).code,
                          1);
                screen = QImage(QString::fromStdString(screen_png));
            }
            // Half, the screen's own size, and twice it.
            for (const int size : {128, 256, 512}) {
                const auto r = run_cli({"thumbnail", disc, thumb_png, "--size", std::to_string(size), "--force"});
                ASSERT_EQ(r.code, 0) << r.err;
                EXPECT_EQ(r.out + r.err, "");
                const QImage thumb(QString::fromStdString(thumb_png));
                const QSize source = slot ? screen.size() : QSize(256, 192);
                ASSERT_EQ(thumb.size(), source.scaled(size, size, Qt::KeepAspectRatio)) << size;
                if (!slot) {
                    // A catalogue's picture shows its files: it is an empty disc's only when no file is listed (a
                    // disc that holds only its name).
                    const std::string empty = (dir / "empty.png").string();
                    ASSERT_EQ(run_cli({"thumbnail", blank, empty, "--size", std::to_string(size), "--force"}).code, 0);
                    const bool lists_files = !run_cli({"list", disc}).out.empty();
                    EXPECT_EQ(thumb != QImage(QString::fromStdString(empty)), lists_files) << size;
                    continue;
                }
                // Qt averages when it shrinks smoothly and repeats pixels when it grows fast; its rounding may differ
                // from ours by one step.
                const auto mode = size < screen.width() ? Qt::SmoothTransformation : Qt::FastTransformation;
                const QImage scaled =
                    screen.scaled(thumb.size(), Qt::IgnoreAspectRatio, mode).convertToFormat(thumb.format());
                EXPECT_LE(largest_difference(thumb, scaled), 1) << size;
            }
            ++(slot ? screens : catalogues);
        }
    }
    // zx_screen and the damaged chain_* discs hold a ZX screen, the three sam_screen_* discs and the disc of
    // MasterBASIC's packed saves a SAM one.
    EXPECT_EQ(screens, 8);
    EXPECT_GE(catalogues, 20);
}

TEST(CliThumbnail, RefusesWhatItCannotDraw)
{
    testing_support::TempDir dir;
    const std::string junk = (dir / "junk.mgt").string();
    testing_support::write_file(junk, std::vector<std::uint8_t>(1000, 0xE5));
    const std::string out = (dir / "out.png").string();
    // A file of the wrong size is still drawn from what it holds; a zip that is none is refused, no file written.
    testing_support::write_file((dir / "bad.zip").string(), std::vector<std::uint8_t>(100, 'P'));
    EXPECT_EQ(run_cli({"thumbnail", (dir / "bad.zip").string(), out}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(run_cli({"thumbnail", junk, out, "--size", "0"}).code, 2);
    EXPECT_EQ(run_cli({"thumbnail", junk, out, "--size", "1025"}).code, 2);
    EXPECT_EQ(run_cli({"thumbnail", junk}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(out));
    // File managers hand over an empty file they made for the picture: it is replaced with --force only.
    testing_support::write_file(out, {});
    EXPECT_EQ(run_cli({"thumbnail", junk, out}).code, 2);
    EXPECT_EQ(std::filesystem::file_size(out), 0u);
    EXPECT_EQ(run_cli({"thumbnail", junk, out, "--size", "32", "--force"}).code, 0);
    EXPECT_EQ(QImage(QString::fromStdString(out)).size(), QSize(32, 24));
}
