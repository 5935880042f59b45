// kestrel-cli disc, in-process, with libdsk's image-file drivers standing in for the floppy drive: real images
// read "from the drive" into both layouts and written back, judged by dsktrans, which converts between libdsk's
// formats without this program ("raw" is the .mgt layout, "rawoo" the .img one).
#include "cli_test_util.h"
#include "support/drive_files.h"
#include "support/dsk_builder.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class DiscCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::system("command -v dsktrans > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "dsktrans (libdsk-utils) is not installed";
    }

    // kestrel-cli disc VERB A B --device DEVICE --driver DRIVER, and more.
    static CliResult disc(const std::string& verb, const std::string& a, const std::string& b, const fs::path& device,
                          const std::string& driver, const std::vector<std::string>& more = {})
    {
        std::vector<std::string> args = {"disc", verb, a, b, "--device", device.string(), "--driver", driver};
        args.insert(args.end(), more.begin(), more.end());
        return run_cli(args);
    }

    TempDir m_dir;
};

} // namespace

TEST_F(DiscCommand, UsageErrors)
{
    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"disc", "copy"}, "disc needs 'read A:|B: OUT' or 'write IMAGE A:|B:'"},
             {{"disc", "read", "A:"}, "disc read needs a drive and an image: read A:|B: OUT"},
             {{"disc", "write", "A:", "x.mgt"}, "'x.mgt' is not a drive (A: or B:)"},
             {{"disc", "read", "A:", "x.tap"}, "the image name must end in .mgt, .dsk or .img: x.tap"},
             {{"disc", "write", "x.mgt", "A:", "--force"}, "unknown option '--force'"},
             {{"disc", "write", "x.mgt", "A:", "--driver", "raw"},
              "--driver raw works on a file: name it with --device PATH"}}) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "kestrel-cli: " + message);
    }
    const auto no_drive = run_cli({"disc", "read", "B:", (m_dir / "x.mgt").string(), "--device", "/nonexistent/fd1"});
    EXPECT_EQ(no_drive.err, "kestrel-cli: /nonexistent/fd1: No such file or directory\n");
    // A regular file is no floppy drive, even at /dev/fd0.
    const auto plain = run_cli(
        {"disc", "read", "A:", (m_dir / "x.mgt").string(), "--device", (real_images_dir() / "dir.mgt").string()});
    EXPECT_EQ(plain.err,
              "kestrel-cli: " + (real_images_dir() / "dir.mgt").string() + ": not a floppy drive (no block device)\n");
    EXPECT_TRUE(fs::is_empty(m_dir.path()));
}

TEST_F(DiscCommand, RealImagesReadIntoBothLayoutsAsDsktransConvertsThem)
{
    for (const auto& [name, driver] : {std::pair{"samdos2.mgt", "raw"}, std::pair{"sam-sequential.img", "rawoo"}}) {
        SCOPED_TRACE(name);
        const fs::path drive = real_images_dir() / name;
        for (const auto& [out, layout_driver] : {std::pair{"read.mgt", "raw"}, std::pair{"read.img", "rawoo"}}) {
            ASSERT_TRUE(dsktrans(drive, driver, m_dir / "expected", layout_driver));
            const auto r = disc("read", "A:", (m_dir / out).string(), drive, driver, {"--force"});
            EXPECT_EQ(r.code, 0) << r.err;
            std::string progress; // into a pipe or a file: a line every 10 tracks
            for (int tracks = 10; tracks <= 160; tracks += 10)
                progress += "read " + std::to_string(tracks) + " of 160 tracks, errors: 0\n";
            EXPECT_EQ(r.err, progress);
            EXPECT_EQ(read_file(m_dir / out), read_file(m_dir / "expected"));
        }
        const auto refused = disc("read", "A:", (m_dir / "read.img").string(), drive, driver);
        EXPECT_EQ(refused.err,
                  "kestrel-cli: " + (m_dir / "read.img").string() + ": exists (use --force to replace it)\n");
    }
}

TEST_F(DiscCommand, ImageWrittenToANewEdskReadsBackTheSame)
{
    const fs::path image_path = real_images_dir() / "solo-forth-boot.mgt";
    const auto before = read_file(image_path);
    const fs::path edsk = m_dir / "drive.edsk";
    const auto written = disc("write", image_path.string(), "b:", edsk, "edsk");
    EXPECT_EQ(written.code, 0) << written.err;
    EXPECT_EQ(read_file(image_path), before);
    ASSERT_TRUE(dsktrans(edsk, "edsk", m_dir / "back.mgt", "raw"));
    EXPECT_EQ(read_file(m_dir / "back.mgt"), before);
    EXPECT_EQ(disc("read", "B:", (m_dir / "again.mgt").string(), edsk, "edsk").code, 0);
    EXPECT_EQ(read_file(m_dir / "again.mgt"), before);
    // An existing empty file stands in as a missing one does.
    for (const auto& [name, driver] : {std::pair{"empty.mgt", "raw"}, std::pair{"empty.dsk", "edsk"}}) {
        write_file(m_dir / name, {});
        const auto r = disc("write", image_path.string(), "A:", m_dir / name, driver);
        EXPECT_EQ(r.code, 0) << name << r.err;
    }
    EXPECT_EQ(read_file(m_dir / "empty.mgt"), before);

    ImageBuilder().resize(1000).write(m_dir / "short.mgt");
    const auto refused = disc("write", (m_dir / "short.mgt").string(), "A:", edsk, "edsk");
    EXPECT_EQ(refused.err, "kestrel-cli: " + (m_dir / "short.mgt").string() + ": size is 1000 bytes, not 819200\n");
}

TEST_F(DiscCommand, DamagedDiscKeepsAnImageOnlyWhenAsked)
{
    const auto bytes = read_file(real_images_dir() / "zx_basic_auto.mgt");
    const fs::path edsk = m_dir / "drive.edsk";
    write_damaged_edsk(edsk, bytes, {0, 1, 2});
    const std::string out = (m_dir / "read.mgt").string();
    const auto dropped = disc("read", "A:", out, edsk, "edsk");
    EXPECT_EQ(dropped.code, 1);
    EXPECT_NE(dropped.err.find(
                  "\nkestrel-cli: " + edsk.string() + ": track 0 side 1 sector 2 unreadable\nkestrel-cli: " + out +
                  ": not written: 1 unreadable sector (--keep-damaged keeps the image with zeros there)\n"),
              std::string::npos)
        << dropped.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()), 1);

    const auto kept = disc("read", "A:", out, edsk, "edsk", {"--keep-damaged"});
    EXPECT_EQ(kept.code, 1);
    EXPECT_NE(kept.err.find(out + ": written with 1 unreadable sector as zeros\n"), std::string::npos);
    auto expected = bytes;
    std::fill_n(expected.begin() + 5120 + 512, 512, std::uint8_t{0}); // track 0 side 1 sector 2 in the .mgt layout
    EXPECT_EQ(read_file(out), expected);
}

TEST_F(DiscCommand, ImageLackingSectorsIsWrittenOnlyWhenAsked)
{
    const auto bytes = read_file(real_images_dir() / "zx_basic_auto.mgt");
    const fs::path damaged = m_dir / "damaged.dsk";
    write_damaged_edsk(damaged, bytes, {2, 1, 4});
    const fs::path drive = m_dir / "drive.mgt";
    const auto refused = disc("write", damaged.string(), "A:", drive, "raw");
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "kestrel-cli: " + damaged.string() +
                               ": not written to the disc: the image lacks 1 sector: track 2 side 1 sector 4 "
                               "(--allow-missing writes zeros there)\n");
    EXPECT_FALSE(fs::exists(drive));

    const auto written = disc("write", damaged.string(), "A:", drive, "raw", {"--allow-missing"});
    EXPECT_EQ(written.code, 1);
    EXPECT_NE(written.err.find("kestrel-cli: " + damaged.string() +
                               ": written to the disc with zeros in place of 1 sector: track 2 side 1 sector 4\n"),
              std::string::npos)
        << written.err;
    auto expected = bytes;
    std::fill_n(expected.begin() + (2 * 2 + 1) * 5120 + 3 * 512, 512, std::uint8_t{0});
    EXPECT_EQ(read_file(drive), expected);
}

TEST_F(DiscCommand, DriveIsNeverTheImageAndABadStandInIsRefusedBeforeLibdskOpensIt)
{
    const fs::path image_path = m_dir / "disc.mgt";
    fs::copy_file(real_images_dir() / "samdos2.mgt", image_path);
    const auto before = read_file(image_path);
    fs::create_symlink(image_path, m_dir / "link.mgt");
    fs::create_hard_link(image_path, m_dir / "hard.mgt");
    for (const char* device : {"disc.mgt", "link.mgt", "hard.mgt"}) {
        const auto r = disc("write", image_path.string(), "A:", m_dir / device, "rawoo");
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err,
                  "kestrel-cli: " + (m_dir / device).string() + ": is also an input (" + image_path.string() + ")\n");
    }
    const auto over_drive = disc("read", "A:", (m_dir / "link.mgt").string(), image_path, "raw", {"--force"});
    EXPECT_EQ(over_drive.code, 2);
    EXPECT_EQ(read_file(image_path), before);

    // Files that libdsk would trust: a raw file of another size, a DSK track header listing more sectors than it
    // holds or a sector size code past any controller's (libdsk ends the program on those), no DSK at all.
    auto dsk = DskBuilder().build(before);
    auto too_many = dsk;
    too_many[0x100 + 0x15] = 31;
    auto huge_sector = dsk;
    huge_sector[0x100 + 0x18 + 3] = 255; // sector 1 of track 0 side 0: size code, and twice the data length
    huge_sector[0x100 + 0x18 + 7] = 4;
    ImageBuilder().resize(1000).write(m_dir / "short.mgt");
    fs::copy_file(real_images_dir() / "zx_basic_auto.mgt", m_dir / "zx.mgt");
    for (const auto& [name, bytes, driver, reason] :
         std::vector<std::tuple<std::string, std::vector<std::uint8_t>, std::string, std::string>>{
             {"short.mgt", {}, "raw", "size is 1000 bytes, not 819200 (libdsk driver raw)"},
             {"count.dsk", too_many, "edsk",
              "track 0 side 0: 31 sectors listed, more than a track header holds (libdsk driver edsk)"},
             {"size.dsk", huge_sector, "edsk",
              "track 0 side 0: sector size code 255, beyond any floppy controller's (libdsk driver edsk)"},
             {"disc.mgt", {}, "dsk", "no Extended DSK or CPCEMU DSK signature (libdsk driver dsk)"}}) {
        SCOPED_TRACE(name);
        if (!bytes.empty())
            write_file(m_dir / name, bytes);
        for (const std::string verb : {"read", "write"}) {
            const auto r = verb == "read" ? disc("read", "A:", (m_dir / "out.mgt").string(), m_dir / name, driver)
                                          : disc("write", (m_dir / "zx.mgt").string(), "A:", m_dir / name, driver);
            EXPECT_EQ(r.code, 2);
            EXPECT_EQ(r.err, "kestrel-cli: " + (m_dir / name).string() + ": " + reason + "\n");
        }
    }
}
