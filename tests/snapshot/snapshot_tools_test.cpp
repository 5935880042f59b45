// Snapshots made by the test image builder with known registers, decoded and written here, then read by the Fuse
// utilities: snapdump must show the registers the program had and the RAM the disc holds, and snapconv must turn
// the .z80 into the very .sna written here and that .sna back into the same registers and RAM.
#include "snapshot/plusd_snapshot.h"

#include "snap_tools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <variant>

using namespace testing_support;

namespace {

std::string hex(unsigned value, int digits)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::map<std::string, std::string> expected_registers(const SnapRegisters& r, int interrupt_mode)
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
            {"IM", std::to_string(interrupt_mode)}};
}

struct Case
{
    const char* name;
    std::size_t ram_size;
    std::uint8_t paging;
    std::uint16_t sp;
    std::uint8_t i;
    bool interrupts;
};

} // namespace

TEST(SnapshotTools, SnapdumpAndSnapconvAgreeWithTheDisc)
{
    if (!has_snapshot_tools())
        GTEST_SKIP() << "snapdump and snapconv (fuse-emulator-utils) are not installed";
    const Case cases[] = {
        {"48k", 49152, 0, 0x8000, 0x3F, true},
        {"128k-bank3", 131072, 0x13, 0xC123, 0x80, false}, // the stack in the paged bank; IM 2
        {"128k-bank5", 131072, 0x15, 0x5F00, 0x00, true},  // bank 5 twice in the .sna
    };
    const TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> ram(c.ram_size);
        for (std::size_t n = 0; n < ram.size(); ++n)
            ram[n] = static_cast<std::uint8_t>(n % 251 == 0 ? 0xED : n / 1000);
        const SnapRegisters regs{0x1234, 0x2345, 0x3456, 0x4567, 0x5678, 0x6789, 0x789A,      0x89AB,
                                 0x9ABC, 0xABCD, c.sp,   0xBCDE, c.i,    0x9C,   c.interrupts};
        const PlusdSnapshotFile file = plusd_snapshot_file(regs, ram, c.paging);
        const auto decoded = snapshot::decode_plusd_snapshot(file.entry, file.stream);
        ASSERT_TRUE(std::holds_alternative<snapshot::Snapshot>(decoded));
        const auto& snap = std::get<snapshot::Snapshot>(decoded);
        const auto z80 = dir / (std::string(c.name) + ".z80");
        const auto sna = dir / (std::string(c.name) + ".sna");
        write_file(z80, snapshot::encode_file(snap, snapshot::FileFormat::Z80));
        write_file(sna, snapshot::encode_file(snap, snapshot::FileFormat::Sna));

        // The pages as the disc file holds them: 48K from 0x4000 (snapdump's pages 5, 2, 0), 128K banks 0-7.
        const std::span<const std::uint8_t> stream(file.stream);
        std::map<int, std::string> pages;
        if (c.ram_size == 49152) {
            const int numbers[] = {5, 2, 0};
            for (std::size_t n = 0; n < 3; ++n)
                pages[numbers[n]] = sha1_of(stream.subspan(n * 16384, 16384));
        } else {
            for (std::size_t n = 0; n < 8; ++n)
                pages[static_cast<int>(n)] = sha1_of(stream.subspan(1 + n * 16384, 16384));
        }

        expect_fuse_tools_agree(z80, sna, expected_registers(regs, c.i == 0x80 ? 2 : 1), pages);
    }
}
