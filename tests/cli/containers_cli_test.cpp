// kestrel-cli over containers. Every real image, in each form the real tools make of it (gzip, zip, one image of a
// zip of two, an Extended DSK from dsktrans under the image's own name), lists, checks and converts to tape exactly
// as the plain file does, and the image command gives back the plain bytes. The containers made by other tools
// behave as their README says, and damage a container reader meets is reported.
#include "../tape/tool_run.h"
#include "cli_test_util.h"
#include "common/path_text.h"
#include "support/dsk_builder.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// What list, check, tap and image make of one path, the path itself (and its name without extension, as the
// scan's first line shows it) replaced by IMAGE.
struct Outputs
{
    std::vector<int> codes;
    std::string list, check, tap;
    Bytes tape, image;
    bool operator==(const Outputs&) const = default;
};

Outputs outputs_of(const std::string& path, const fs::path& work, image::Layout layout)
{
    const std::string tape = (work / "out.tap").string();
    const std::string plain = (work / (layout == image::Layout::Sequential ? "out.img" : "out.mgt")).string();
    const auto list = run_cli({"list", path});
    const auto check = run_cli({"check", path});
    const auto tap = run_cli({"tap", path, "-o", tape, "--force"});
    const auto made = run_cli({"image", path, "-o", plain, "--force"});
    auto hide = [&](const std::string& text) {
        return replace_all(replace_all(text, path, "IMAGE"), common::without_extension(path), "IMAGE");
    };
    return {{list.code, check.code, tap.code, made.code}, list.out + list.err, hide(check.out + check.err),
            hide(tap.out + tap.err + made.err),           read_file(tape),     read_file(plain)};
}

bool run(const std::string& command)
{
    return testing_support::run_shell(command).status == 0;
}

} // namespace

TEST(ContainersCli, EveryFormOfRealImagesBehavesAsThePlainFile)
{
    for (const char* tool : {"gzip", "zip", "dsktrans"}) {
        if (!testing_support::has_tool(tool))
            GTEST_SKIP() << tool << " is not installed";
    }
    TempDir dir;
    for (const char* form : {"gz", "zip", "two", "edsk"})
        fs::create_directory(dir / form);
    using testing_support::shell_quoted;
    // Three real images catch what every form must keep: a ZX disc of many files (interleaved), a SAM disc side
    // after side, and a damaged disc whose scan has findings.
    const auto dir_of_images = testing_support::real_images_dir();
    const std::vector<std::filesystem::path> images = {
        dir_of_images / "solo-forth-boot.mgt", dir_of_images / "sam-sequential.img", dir_of_images / "chain_bad.mgt"};
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::string path = images[i].string();
        const std::string name = images[i].filename().string();
        const std::string other = images[(i + 1) % images.size()].string();
        const image::Layout layout = image::layout_from_path(name);
        SCOPED_TRACE(name);
        const Outputs plain = outputs_of(path, dir.path(), layout);
        EXPECT_EQ(plain.image, read_file(path));

        const std::string gz = (dir / "gz" / (name + ".gz")).string();
        const std::string zip = (dir / "zip" / (name + ".zip")).string();
        const std::string two = (dir / "two" / "both.zip").string();
        const std::string edsk = (dir / "edsk" / name).string();
        // dsktrans reads a raw image cylinder by cylinder ("raw") or side after side ("rawoo").
        const std::string raw_type = layout == image::Layout::Sequential ? "rawoo" : "raw";
        fs::remove(two);
        ASSERT_TRUE(run("gzip -c " + shell_quoted(path) + " > " + shell_quoted(gz)));
        ASSERT_TRUE(run("zip -q -j " + shell_quoted(zip) + " " + shell_quoted(path)));
        ASSERT_TRUE(run("zip -q -j " + shell_quoted(two) + " " + shell_quoted(path) + " " + shell_quoted(other)));
        ASSERT_TRUE(run("dsktrans -itype " + raw_type + " -otype edsk -format mgt800 " + shell_quoted(path) + " " +
                        shell_quoted(edsk) + " > /dev/null"));
        for (const std::string& form : {gz, zip, two + "/" + name, edsk}) {
            SCOPED_TRACE(form);
            EXPECT_EQ(outputs_of(form, dir.path(), layout), plain);
        }
    }
}

TEST(ContainersCli, ContainersMadeByOtherToolsListOrSayWhyNot)
{
    const std::string folder = (testing_support::real_images_dir() / "containers").string() + "/";
    const std::string no_sad = "no \"Aley's disk backup\" header: not a SAD image\n";
    const std::string not_800k = "Extended DSK of 80 tracks, 9 sectors per track: not an 800K +D/SAM disc\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"image.dsk", ""},
        {"image.dsk.gz", ""},
        {"image_upper.zip", ""},
        {"image_upper.zip/image.mgt", ""},
        {"image.mgt.gz.zip", ""},
        {"image_multiple.zip", "the archive holds 2 disc images: image.sad, image9.dsk; choose one as " + folder +
                                   "image_multiple.zip/NAME\n"},
        {"image_multiple.zip/image9.dsk", not_800k},
        {"image_multiple.zip/image.sad", no_sad},
        {"image.sad", no_sad},
    };
    for (const auto& [name, reason] : cases) {
        const auto r = run_cli({"list", folder + name});
        EXPECT_EQ(r.code, reason.empty() ? 0 : 2) << name;
        EXPECT_EQ(r.err, reason.empty() ? "" : "kestrel-cli: " + folder + name + ": " + reason);
    }
}

TEST(ImageCommand, DamageIsReportedAndEveryRefusalLeavesNoFile)
{
    TempDir dir;
    testing_support::ImageBuilder builder;
    builder.add_zx_file(0, 4, "code", Bytes(3000, 0x42), 32768);
    const std::string damaged = (dir / "damaged.dsk").string();
    testing_support::write_file(damaged, testing_support::DskBuilder()
                                             .ids(4, 0, {1, 2, 3, 5, 6, 7, 8, 9, 10})
                                             .status(4, 0, 2, 0x20, 0x20)
                                             .build(builder.bytes()));
    const std::string out = (dir / "out.mgt").string();
    const std::string finding = "kestrel-cli: " + damaged +
                                ": track 4 side 0: sector 2 has a data error, sector 4 "
                                "missing\n";

    const auto made = run_cli({"image", damaged, "-o", out});
    EXPECT_EQ(made.code, 1);
    EXPECT_EQ(made.err, finding + "kestrel-cli: " + damaged + ": 2 sectors missing or unreadable, written as zeros\n");
    Bytes expected = builder.bytes();
    for (const int index : {1, 3}) {
        const auto at = image::sector_offset(image::Layout::Interleaved, 4, index);
        std::fill_n(expected.begin() + at, image::SECTOR_SIZE, std::uint8_t{0});
    }
    EXPECT_EQ(read_file(out), expected);
    const auto checked = run_cli({"check", damaged});
    EXPECT_EQ(checked.code, 1);
    EXPECT_EQ(checked.err, finding);

    EXPECT_EQ(run_cli({"image", damaged, "-o", out}).err,
              "kestrel-cli: " + out + ": exists (use --force to replace it)\n");
    EXPECT_EQ(run_cli({"image", damaged, "-o", damaged, "--force"}).err,
              "kestrel-cli: " + damaged + ": is also an input (" + damaged + ")\n");
    EXPECT_EQ(run_cli({"image", damaged, "-o", (dir / "out.tap").string()}).code, 2);
    EXPECT_EQ(run_cli({"image", (dir / "none.mgt").string(), "-o", (dir / "new.mgt").string()}).code, 2);
    EXPECT_FALSE(fs::exists(dir / "out.tap"));
    EXPECT_FALSE(fs::exists(dir / "new.mgt"));
}
