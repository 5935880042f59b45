#include "cli_test_util.h"
#include "snapshot/snap_tools.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;

namespace {

// Read by hand from the images (a chain walk in a few lines of Python, then the stacks by eye): the registers in
// the entries, and AF and PC where the interface pushed them. The SHA-1 digests are those of the pages as the
// chains hold them.
const std::map<std::string, std::string> REGISTERS_48K = {
    {"PC", "0x0039"}, {"SP", "0xFF46"},  {"AF", "0x005C"}, {"AF'", "0x0044"}, {"BC", "0x1721"}, {"BC'", "0x174B"},
    {"DE", "0x5CB9"}, {"DE'", "0x0006"}, {"HL", "0x2758"}, {"HL'", "0x107F"}, {"IX", "0x03D4"}, {"IY", "0x5C3A"},
    {"I", "0x3F"},    {"R", "0x72"},     {"IFF1", "0"},    {"IFF2", "0"},     {"IM", "1"}};
const std::map<int, std::string> PAGES_48K = {{5, "b49da36231084ea36e40e1d2293014b31f67ddc6"},
                                              {2, "897256b6709e1a4da9daba92b6bde39ccfccd8c1"},
                                              {0, "f58672a2b8f436e495faa86ebddc1553c5054896"}};
const std::map<std::string, std::string> REGISTERS_128K = {
    {"PC", "0x0039"}, {"SP", "0x7FF4"},  {"AF", "0x005C"}, {"AF'", "0x02F7"}, {"BC", "0x0000"}, {"BC'", "0x1194"},
    {"DE", "0x5E34"}, {"DE'", "0x369B"}, {"HL", "0x5E2F"}, {"HL'", "0x0038"}, {"IX", "0xFD6C"}, {"IY", "0x5C3A"},
    {"I", "0x00"},    {"R", "0x65"},     {"IFF1", "0"},    {"IFF2", "0"},     {"IM", "1"}};
const std::map<int, std::string> PAGES_128K = {
    {0, "c204116ca3ce2875a2877464e623d17c11e57c46"}, {1, "6404ea0afe239897638f6866aa54312e2c5348e9"},
    {2, "9a0db3fb15ed3d5936cfbe75f874daacc49e78b7"}, {3, "3ded92928ef682ff0e903eb3349e7355eebdc6aa"},
    {4, "cd46b6dfb8cfd706f24e89a6a487f34e8aa73677"}, {5, "29d5757084498f095e01dc7253d528f74d613744"},
    {6, "e9bd1c86bf1f0bb108b8b5eaaadc65d1dda8a218"}, {7, "53b693f58a0e1b1d2fee1ce76309dd641c019171"}};

std::size_t files_in(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

} // namespace

TEST(CliSnap, RealSnapshotsComeOutAsTheFuseToolsReadThem)
{
    if (!has_snapshot_tools())
        GTEST_SKIP() << "snapdump and snapconv (fuse-emulator-utils) are not installed";
    const TempDir dir;
    for (const auto& [name, registers, pages] : {std::tuple{"zx_snap_48k", &REGISTERS_48K, &PAGES_48K},
                                                 std::tuple{"zx_snap_128k", &REGISTERS_128K, &PAGES_128K}}) {
        SCOPED_TRACE(name);
        const std::string image = (real_images_dir() / (std::string(name) + ".mgt")).string();
        const auto before = read_file(image);
        const auto z80 = dir / (std::string(name) + ".z80");
        const auto sna = dir / (std::string(name) + ".sna");
        for (const auto& out : {z80, sna}) {
            const auto r = run_cli({"snap", image, "--slot", "0", "-o", out.string()});
            ASSERT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(r.out + r.err, "");
        }
        expect_fuse_tools_agree(z80, sna, *registers, *pages);
        EXPECT_EQ(read_file(image), before);
    }
}

TEST(CliSnap, RefusalsWriteNothing)
{
    const TempDir dir;
    const std::vector<std::uint8_t> ram(49152, 0);
    SnapRegisters regs;
    regs.sp = 0x8000;
    ImageBuilder b;
    b.add_plusd_snapshot(0, "good", plusd_snapshot_file(regs, ram));
    regs.sp = 0x4004;
    b.add_plusd_snapshot(1, "in rom", plusd_snapshot_file(regs, ram));
    regs.sp = 0x8000;
    PlusdSnapshotFile cut = plusd_snapshot_file(regs, ram);
    cut.stream.resize(96 * 510);
    b.add_plusd_snapshot(2, "short", cut);
    PlusdSnapshotFile longer = plusd_snapshot_file(regs, ram);
    longer.stream.resize(98 * 510);
    b.add_plusd_snapshot(3, "long", longer);
    b.add_zx_file(4, 4, "code", std::vector<std::uint8_t>(100, 1));
    const std::string image = b.write(dir / "snaps.mgt").string();
    const std::string out = (dir / "out.z80").string();
    std::filesystem::create_directory(dir / "taken.sna");

    const struct
    {
        std::vector<std::string> args;
        int code;
        const char* message;
    } cases[] = {
        {{"snap", image, "--slot", "1", "-o", out}, 1, "slot 1: the stack pointer 0x3FFE lies in ROM"},
        {{"snap", image, "--slot", "2", "-o", out}, 1, "slot 2: the file holds 48960 bytes"},
        {{"snap", image, "--slot", "3", "-o", out}, 1, "slot 3: the file runs to 98 sectors"},
        {{"snap", image, "--slot", "4", "-o", out}, 1, "slot 4: type 4 is no snapshot"},
        {{"snap", image, "--slot", "5", "-o", out}, 2, "no file in slot 5"},
        {{"snap", image, "--slot", "0", "-o", (dir / "out.tap").string()}, 2, "writes .z80 or .sna files"},
        {{"snap", image, "--slot", "0", "-o", (dir / "no" / "out.z80").string()}, 1, "no/out.z80: "},
        {{"snap", image, "--slot", "0", "-o", (dir / "taken.sna").string(), "--force"}, 1, "taken.sna: "},
        {{"snap", image, "--slot", "0"}, 2, "snap needs IMAGE, --slot N and -o"},
    };
    for (const auto& c : cases) {
        const auto r = run_cli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(files_in(dir.path()), 2u) << r.err; // the image and the folder; no output, no temporary
    }

    // An existing output stays unless --force is given.
    write_file(out, std::vector<std::uint8_t>{1, 2, 3});
    const auto kept = run_cli({"snap", image, "--slot", "0", "-o", out});
    EXPECT_EQ(kept.code, 2);
    EXPECT_NE(kept.err.find("exists (use --force to replace it)"), std::string::npos);
    EXPECT_EQ(read_file(out).size(), 3u);
    EXPECT_EQ(run_cli({"snap", image, "--slot", "0", "-o", out, "--force"}).code, 0);
    EXPECT_GT(read_file(out).size(), 86u);
}
