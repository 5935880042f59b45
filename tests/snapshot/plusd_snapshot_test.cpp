#include "snapshot/plusd_snapshot.h"

#include "snapshot/sna_format.h"
#include "snapshot/z80_format.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <variant>

using testing_support::plusd_snapshot_file;
using testing_support::PlusdSnapshotFile;
using testing_support::SnapRegisters;

namespace {

constexpr std::size_t K48 = 49152;
constexpr std::size_t K128 = 131072;
constexpr std::uint16_t BORDCR = 23624;

SnapRegisters known_registers(std::uint16_t sp)
{
    SnapRegisters r;
    r.af = 0x1234;
    r.bc = 0x2345;
    r.de = 0x3456;
    r.hl = 0x4567;
    r.af_alt = 0x5678;
    r.bc_alt = 0x6789;
    r.de_alt = 0x789A;
    r.hl_alt = 0x89AB;
    r.ix = 0x9ABC;
    r.iy = 0xABCD;
    r.sp = sp;
    r.pc = 0xBCDE;
    r.i = 0x3F;
    r.r = 0x9C;
    r.interrupts_enabled = true;
    return r;
}

snapshot::Snapshot decoded(const PlusdSnapshotFile& file)
{
    auto result = snapshot::decode_plusd_snapshot(file.entry, file.stream);
    if (const auto* error = std::get_if<snapshot::DecodeError>(&result))
        ADD_FAILURE() << error->reason;
    return std::holds_alternative<snapshot::Snapshot>(result) ? std::get<snapshot::Snapshot>(result)
                                                              : snapshot::Snapshot{};
}

std::string error_of(std::span<const std::uint8_t> entry, std::span<const std::uint8_t> stream)
{
    const auto result = snapshot::decode_plusd_snapshot(entry, stream);
    return std::holds_alternative<snapshot::DecodeError>(result) ? std::get<snapshot::DecodeError>(result).reason : "";
}

} // namespace

TEST(PlusdSnapshot, RegistersComeFromTheEntryAndTheStack)
{
    std::vector<std::uint8_t> ram(K48, 0);
    ram[BORDCR - 0x4000] = 0x28; // border 5 in bits 3-5
    const snapshot::Snapshot s = decoded(plusd_snapshot_file(known_registers(0x8000), ram));
    const snapshot::Registers& r = s.regs;
    EXPECT_EQ(s.model, snapshot::Model::Spectrum48K);
    EXPECT_EQ(r.af, 0x1234);
    EXPECT_EQ(r.bc, 0x2345);
    EXPECT_EQ(r.de, 0x3456);
    EXPECT_EQ(r.hl, 0x4567);
    EXPECT_EQ(r.af_alt, 0x5678);
    EXPECT_EQ(r.bc_alt, 0x6789);
    EXPECT_EQ(r.de_alt, 0x789A);
    EXPECT_EQ(r.hl_alt, 0x89AB);
    EXPECT_EQ(r.ix, 0x9ABC);
    EXPECT_EQ(r.iy, 0xABCD);
    EXPECT_EQ(r.sp, 0x8000);
    EXPECT_EQ(r.pc, 0xBCDE);
    EXPECT_EQ(r.i, 0x3F);
    EXPECT_EQ(r.r, 0x9C);
    EXPECT_TRUE(r.iff1 && r.iff2);
    EXPECT_EQ(r.interrupt_mode, 1);
    EXPECT_EQ(s.border, 5);
}

TEST(PlusdSnapshot, InterruptModeFollowsTheIRegisterAsTheInterfaceReloadDoes)
{
    for (const auto& [i, mode] : {std::pair{0x00, 1}, {0x3F, 1}, {0xFE, 2}, {0x40, 2}}) {
        SnapRegisters regs = known_registers(0x9000);
        regs.i = static_cast<std::uint8_t>(i);
        regs.interrupts_enabled = false;
        const snapshot::Snapshot s = decoded(plusd_snapshot_file(regs, std::vector<std::uint8_t>(K48, 0)));
        EXPECT_EQ(s.regs.interrupt_mode, mode) << i;
        EXPECT_FALSE(s.regs.iff1 || s.regs.iff2);
    }
}

TEST(PlusdSnapshot, Banks128KKeepTheirOrderAndTheStackIsReadFromThePagedBank)
{
    std::vector<std::uint8_t> ram(K128);
    for (std::size_t n = 0; n < K128; ++n)
        ram[n] = static_cast<std::uint8_t>(0xA0 + n / 16384);
    // Bank 3 at 0xC000, and the stack there: AF and PC must come from bank 3, not from bank 0 or 7.
    const snapshot::Snapshot s = decoded(plusd_snapshot_file(known_registers(0xF000), ram, 0x13 | 0xC0));
    EXPECT_EQ(s.model, snapshot::Model::Spectrum128K);
    EXPECT_EQ(s.paging, 0x13) << "bits 6 and 7 are dropped";
    EXPECT_EQ(s.regs.af, 0x1234);
    EXPECT_EQ(s.regs.pc, 0xBCDE);
    EXPECT_EQ(s.regs.sp, 0xF000);
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(snapshot::bank(s, n)[100], 0xA0 + n) << n;
    EXPECT_EQ(snapshot::peek(s, 0x4000), 0xA5);
    EXPECT_EQ(snapshot::peek(s, 0x8000), 0xA2);
}

TEST(PlusdSnapshot, BadInputIsRefusedWithTheReason)
{
    const PlusdSnapshotFile good = plusd_snapshot_file(known_registers(0x8000), std::vector<std::uint8_t>(K48, 0));
    const std::span<const std::uint8_t> stream(good.stream);
    std::vector<std::uint8_t> longer = good.stream;
    longer.resize(98 * 510, 0);
    std::vector<std::uint8_t> code_entry = good.entry;
    code_entry[0] = 4;
    const auto with_sp = [&](std::uint16_t sp) {
        return plusd_snapshot_file(known_registers(sp), std::vector<std::uint8_t>(K48, 0));
    };
    const PlusdSnapshotFile in_rom = with_sp(0x4005);
    const PlusdSnapshotFile at_top = with_sp(0x0001);
    const struct
    {
        const char* what;
        std::span<const std::uint8_t> entry;
        std::span<const std::uint8_t> stream;
        const char* reason;
    } cases[] = {
        {"empty file", good.entry, {}, "holds 0 bytes, but a 48K snapshot needs 49152"},
        {"one byte short", good.entry, stream.first(K48 - 1), "holds 49151 bytes"},
        {"a sector too many", good.entry, longer, "runs to 98 sectors, but a 48K snapshot fills 97"},
        {"not a snapshot", code_entry, stream, "type 4 is no snapshot"},
        {"short entry", std::span(good.entry).first(255), stream, "entry is 255 bytes"},
        {"SP in ROM", in_rom.entry, in_rom.stream, "stack pointer 0x3FFF lies in ROM"},
        {"SP at the top", at_top.entry, at_top.stream, "stack pointer 0xFFFB is at the top of memory"},
    };
    for (const auto& c : cases)
        EXPECT_NE(error_of(c.entry, c.stream).find(c.reason), std::string::npos)
            << c.what << ": " << error_of(c.entry, c.stream);
    // The rest of the last sector may follow the snapshot, as the chain delivers it.
    std::vector<std::uint8_t> whole_sectors = good.stream;
    whole_sectors.resize(97 * 510, 0);
    EXPECT_EQ(error_of(good.entry, whole_sectors), "");
    EXPECT_EQ(error_of(with_sp(0x0000).entry, with_sp(0x0000).stream), "") << "SP 0xFFFA is the highest usable";
}

TEST(Z80Packing, RunsAndTheEdRule)
{
    using Bytes = std::vector<std::uint8_t>;
    const struct
    {
        Bytes in;
        Bytes out;
    } cases[] = {
        {{1, 1, 1, 1}, {1, 1, 1, 1}},
        {{2, 2, 2, 2, 2}, {0xED, 0xED, 5, 2}},
        {{0xED, 0xED}, {0xED, 0xED, 2, 0xED}},
        {{0xED, 7, 7, 7, 7, 7, 7}, {0xED, 7, 0xED, 0xED, 5, 7}}, // a byte after a lone ED is never a run's start
        {{0xED}, {0xED}},
        {Bytes(300, 0), {0xED, 0xED, 255, 0, 0xED, 0xED, 45, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(snapshot::pack_z80_block(c.in), c.out);
}

TEST(SnaFormat, PagedBank5Comes128KWithSixMoreBanks)
{
    std::vector<std::uint8_t> ram(K128);
    for (std::size_t n = 0; n < K128; ++n)
        ram[n] = static_cast<std::uint8_t>(n / 16384);
    const snapshot::Snapshot s = decoded(plusd_snapshot_file(known_registers(0x6000), ram, 0x15));
    const std::vector<std::uint8_t> sna = snapshot::encode_sna(s);
    ASSERT_EQ(sna.size(), 147487u);
    const std::size_t banks_at[] = {27, 27 + 16384, 27 + 32768};
    const int expected[] = {5, 2, 5};
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(sna[banks_at[n] + 1000], expected[n]);
    const std::size_t rest = 27 + 49152 + 4;
    const int rest_banks[] = {0, 1, 3, 4, 6, 7};
    for (std::size_t n = 0; n < 6; ++n)
        EXPECT_EQ(sna[rest + n * 16384 + 1000], rest_banks[n]);
}
