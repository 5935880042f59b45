// Snapshots written by kestrel-cli snap, judged by the Fuse utilities, which read .z80 and .sna independently of
// this program: snapdump must show the registers the program had and the RAM the disc holds, in both files;
// snapconv must turn the .z80 into the very .sna written here, and that .sna back into the same registers and RAM.
#include "cli_test_util.h"
#include "support/image_builder.h"
#include "tape/tool_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>

using namespace testing_support;

namespace {

using Registers = std::map<std::string, std::string>; // snapdump's REGISTERS lines, and the border as "ULA"
using Pages = std::map<int, std::string>;             // page or bank -> SHA-1

// Read by hand from the real images (a chain walk in a few lines of Python, then the stacks by eye), with the
// SHA-1 of each page as the chain holds it.
const Registers REAL_48K = {
    {"PC", "0x0039"}, {"SP", "0xFF46"},  {"AF", "0x005C"}, {"AF'", "0x0044"}, {"BC", "0x1721"}, {"BC'", "0x174B"},
    {"DE", "0x5CB9"}, {"DE'", "0x0006"}, {"HL", "0x2758"}, {"HL'", "0x107F"}, {"IX", "0x03D4"}, {"IY", "0x5C3A"},
    {"I", "0x3F"},    {"R", "0x72"},     {"IFF1", "0"},    {"IFF2", "0"},     {"IM", "1"},      {"ULA", "07"}};
const Pages REAL_48K_PAGES = {{5, "b49da36231084ea36e40e1d2293014b31f67ddc6"},
                              {2, "897256b6709e1a4da9daba92b6bde39ccfccd8c1"},
                              {0, "f58672a2b8f436e495faa86ebddc1553c5054896"}};
const Registers REAL_128K = {
    {"PC", "0x0039"}, {"SP", "0x7FF4"},  {"AF", "0x005C"}, {"AF'", "0x02F7"}, {"BC", "0x0000"}, {"BC'", "0x1194"},
    {"DE", "0x5E34"}, {"DE'", "0x369B"}, {"HL", "0x5E2F"}, {"HL'", "0x0038"}, {"IX", "0xFD6C"}, {"IY", "0x5C3A"},
    {"I", "0x00"},    {"R", "0x65"},     {"IFF1", "0"},    {"IFF2", "0"},     {"IM", "1"},      {"ULA", "07"}};
const Pages REAL_128K_PAGES = {
    {0, "c204116ca3ce2875a2877464e623d17c11e57c46"}, {1, "6404ea0afe239897638f6866aa54312e2c5348e9"},
    {2, "9a0db3fb15ed3d5936cfbe75f874daacc49e78b7"}, {3, "3ded92928ef682ff0e903eb3349e7355eebdc6aa"},
    {4, "cd46b6dfb8cfd706f24e89a6a487f34e8aa73677"}, {5, "29d5757084498f095e01dc7253d528f74d613744"},
    {6, "e9bd1c86bf1f0bb108b8b5eaaadc65d1dda8a218"}, {7, "53b693f58a0e1b1d2fee1ce76309dd641c019171"}};

struct Dump
{
    Registers registers;
    Pages pages;
    std::string output;
};

Dump snapdump(const std::filesystem::path& file)
{
    static const std::regex register_line(R"(^([A-Z][A-Z0-9']*):\s+(\S+)$)");
    static const std::regex page_line(R"(^ram_page_([0-9]) size: 0x4000, sha1: ([0-9a-f]{40})$)");
    Dump dump;
    dump.output = run_tool("snapdump", file).output;
    std::istringstream lines(dump.output);
    bool in_registers = false;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line == "REGISTERS" || line == "RAM PAGES")
            in_registers = line == "REGISTERS";
        else if (std::regex_match(line, m, page_line))
            dump.pages[std::stoi(m[1])] = m[2];
        else if (std::regex_match(line, m, register_line) && (in_registers || m[1] == "ULA"))
            dump.registers[m[1]] = m[2];
    }
    return dump;
}

std::string sha1_of(std::span<const std::uint8_t> bytes)
{
    const TempDir dir;
    write_file(dir / "page", bytes);
    return run_tool("sha1sum <", dir / "page").output.substr(0, 40);
}

std::string hex(unsigned value, int digits)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

Registers registers_of(const SnapRegisters& r, int interrupt_mode, const char* border)
{
    const auto w = [](std::uint16_t v) {
        return hex(v, 4);
    };
    const std::string iff = r.interrupts_enabled ? "1" : "0";
    return {{"PC", w(r.pc)},
            {"SP", w(r.sp)},
            {"AF", w(r.af)},
            {"AF'", w(r.af_alt)},
            {"BC", w(r.bc)},
            {"BC'", w(r.bc_alt)},
            {"DE", w(r.de)},
            {"DE'", w(r.de_alt)},
            {"HL", w(r.hl)},
            {"HL'", w(r.hl_alt)},
            {"IX", w(r.ix)},
            {"IY", w(r.iy)},
            {"I", hex(r.i, 2)},
            {"R", hex(r.r, 2)},
            {"IFF1", iff},
            {"IFF2", iff},
            {"IM", std::to_string(interrupt_mode)},
            {"ULA", border}};
}

std::size_t files_in(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

} // namespace

TEST(CliSnap, SnapdumpAndSnapconvReadWhatTheDiscHolds)
{
    if (!has_tool("snapdump") || !has_tool("snapconv") || !has_tool("sha1sum"))
        GTEST_SKIP() << "snapdump and snapconv (fuse-emulator-utils) are not installed";
    const TempDir dir;
    struct Case
    {
        std::string image;
        int slot;
        Registers registers;
        Pages pages;
    };
    std::vector<Case> cases = {{(real_images_dir() / "zx_snap_48k.mgt").string(), 0, REAL_48K, REAL_48K_PAGES},
                               {(real_images_dir() / "zx_snap_128k.mgt").string(), 0, REAL_128K, REAL_128K_PAGES}};

    // Known registers: a 48K; a 128K with its stack in bank 3 at 0xC000 and I for IM 2; a 128K with bank 5 paged,
    // which the .sna then holds twice.
    ImageBuilder b;
    const struct
    {
        std::size_t ram;
        std::uint8_t paging;
        std::uint16_t sp;
        std::uint8_t i;
        bool interrupts;
    } built[] = {{49152, 0, 0x8000, 0x3F, true}, {131072, 0x13, 0xC123, 0x80, false}, {131072, 0x15, 0x5F00, 0, true}};
    const std::string image = (dir / "built.mgt").string();
    for (int slot = 0; slot < 3; ++slot) {
        const auto& c = built[slot];
        std::vector<std::uint8_t> ram(c.ram);
        for (std::size_t n = 0; n < ram.size(); ++n)
            ram[n] = static_cast<std::uint8_t>(n % 251 == 0 ? 0xED : n / 1000);
        ram[23624 - 0x4000 + (c.ram == 49152 ? 0 : 5 * 16384)] = 0x28; // BORDCR: border 5
        const SnapRegisters regs{0x1234, 0x2345, 0x3456, 0x4567, 0x5678, 0x6789, 0x789A,      0x89AB,
                                 0x9ABC, 0xABCD, c.sp,   0xBCDE, c.i,    0x9C,   c.interrupts};
        const PlusdSnapshotFile file = plusd_snapshot_file(regs, ram, c.paging);
        b.add_plusd_snapshot(slot, "snap", file);
        // The pages as the file holds them: 48K from 0x4000 (snapdump's pages 5, 2, 0), 128K after the paging byte.
        Pages pages;
        const std::span<const std::uint8_t> stream(file.stream);
        for (std::size_t n = 0; n < c.ram / 16384; ++n) {
            const int number = c.ram == 49152 ? std::array{5, 2, 0}[n] : static_cast<int>(n);
            pages[number] = sha1_of(stream.subspan((c.ram == 49152 ? 0 : 1) + n * 16384, 16384));
        }
        cases.push_back({image, slot, registers_of(regs, c.i == 0x80 ? 2 : 1, "05"), pages});
    }
    b.write(image);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.image + " slot " + std::to_string(c.slot));
        const auto before = read_file(c.image);
        const auto z80 = dir / "out.z80";
        const auto sna = dir / "out.sna";
        for (const auto& out : {z80, sna}) {
            const auto r = run_cli({"snap", c.image, "--slot", std::to_string(c.slot), "-o", out.string(), "--force"});
            ASSERT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(r.out + r.err, "");
        }
        EXPECT_EQ(read_file(c.image), before);
        for (const auto& file : {z80, sna}) {
            const Dump dump = snapdump(file);
            EXPECT_EQ(dump.registers, c.registers) << dump.output;
            EXPECT_EQ(dump.pages, c.pages);
        }
        ASSERT_EQ(run_tool("snapconv " + z80.string(), dir / "conv.sna").status, 0);
        EXPECT_EQ(read_file(dir / "conv.sna"), read_file(sna));
        ASSERT_EQ(run_tool("snapconv " + sna.string(), dir / "back.z80").status, 0);
        const Dump back = snapdump(dir / "back.z80");
        EXPECT_EQ(back.registers, c.registers);
        EXPECT_EQ(back.pages, c.pages);

        // Both files put on a disc again by add snap back to the very same bytes: the same state for snapdump.
        const std::string added = ImageBuilder().write(dir / "added.mgt").string();
        for (const auto& file : {z80, sna}) {
            const auto r = run_cli({"add", added, file.string(), "--name", file.extension().string()});
            ASSERT_EQ(r.code, 0) << r.err;
        }
        for (const auto& [slot, file] : {std::pair{0, z80}, std::pair{1, sna}}) {
            const auto again = dir / ("again" + file.extension().string());
            ASSERT_EQ(run_cli({"snap", added, "--slot", std::to_string(slot), "-o", again.string(), "--force"}).code,
                      0);
            EXPECT_EQ(read_file(again), read_file(file)) << file;
        }
    }
}

TEST(CliSnap, RefusalsWriteNothing)
{
    const TempDir dir;
    const std::vector<std::uint8_t> ram(49152, 0);
    SnapRegisters regs;
    regs.sp = 0x8000;
    PlusdSnapshotFile longer = plusd_snapshot_file(regs, ram);
    longer.stream.resize(98 * 510);
    ImageBuilder b;
    b.add_plusd_snapshot(0, "good", plusd_snapshot_file(regs, ram));
    b.add_plusd_snapshot(3, "long", longer); // the chain walk stops one sector past a snapshot's
    regs.sp = 0x4004;
    b.add_plusd_snapshot(1, "in rom", plusd_snapshot_file(regs, ram));
    const std::string image = b.write(dir / "snaps.mgt").string();
    const std::string out = (dir / "out.z80").string();
    std::filesystem::create_directory(dir / "taken.sna");

    const std::tuple<std::vector<std::string>, int, const char*> cases[] = {
        {{"snap", image, "--slot", "1", "-o", out}, 1, "slot 1: the stack pointer 0x3FFE lies in ROM"},
        {{"snap", image, "--slot", "3", "-o", out}, 1, "slot 3: the file runs to 98 sectors"},
        {{"snap", image, "--slot", "5", "-o", out}, 2, "no file in slot 5"},
        {{"snap", image, "--slot", "0", "-o", (dir / "out.tap").string()}, 2, "writes .z80 or .sna files"},
        {{"snap", image, "--slot", "0", "-o", (dir / "no" / "out.z80").string()}, 2, "no/out.z80: "},
        {{"snap", image, "--slot", "0", "-o", (dir / "taken.sna").string(), "--force"}, 2, "taken.sna: "},
        {{"snap", image, "--slot", "0"}, 2, "snap needs IMAGE, --slot N and -o"},
    };
    for (const auto& [args, code, message] : cases) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.code, code) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(files_in(dir.path()), 2u) << r.err; // the image and the folder: no output, no temporary
    }

    write_file(out, std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_EQ(run_cli({"snap", image, "--slot", "0", "-o", out}).err,
              "kestrel-cli: " + out + ": exists (use --force to replace it)\n");
    EXPECT_EQ(read_file(out).size(), 3u);
    EXPECT_EQ(run_cli({"snap", image, "--slot", "0", "-o", out, "--force"}).code, 0);
    EXPECT_GT(read_file(out).size(), 86u);
}
