// The reader's refusals and the .z80 run-length code, which no outside tool shows directly. Registers, RAM, both
// writers and the real discs are checked through kestrel-cli snap with snapdump and snapconv (tests/cli).
#include "snapshot/plusd_snapshot.h"

#include "snapshot/z80_format.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <variant>

using testing_support::plusd_snapshot_file;

namespace {

std::string error_of(std::span<const std::uint8_t> entry, std::span<const std::uint8_t> stream)
{
    const auto result = snapshot::decode_plusd_snapshot(entry, stream);
    return std::holds_alternative<common::Error>(result) ? std::get<common::Error>(result).text : "";
}

testing_support::PlusdSnapshotFile with_sp(std::uint16_t sp)
{
    testing_support::SnapRegisters regs;
    regs.sp = sp;
    return plusd_snapshot_file(regs, std::vector<std::uint8_t>(49152, 0));
}

} // namespace

TEST(PlusdSnapshot, BadInputIsRefusedWithTheReason)
{
    const auto good = with_sp(0x8000);
    const std::span<const std::uint8_t> stream(good.stream);
    std::vector<std::uint8_t> longer = good.stream;
    longer.resize(98 * 510, 0);
    std::vector<std::uint8_t> code_entry = good.entry;
    code_entry[0] = 4;
    const auto in_rom = with_sp(0x4005);
    const auto at_top = with_sp(0x0001);
    const struct
    {
        std::span<const std::uint8_t> entry;
        std::span<const std::uint8_t> stream;
        const char* reason;
    } cases[] = {
        {good.entry, {}, "the file holds 0 bytes, but a 48K snapshot needs 49152"},
        {good.entry, stream.first(49151), "the file holds 49151 bytes"},
        {good.entry, longer, "the file runs to 98 sectors, but a 48K snapshot fills 97"},
        {code_entry, stream, "type 4 is no snapshot"},
        {std::span(good.entry).first(255), stream, "the directory entry is 255 bytes"},
        {in_rom.entry, in_rom.stream, "the stack pointer 0x3FFF lies in ROM"},
        {at_top.entry, at_top.stream, "the stack pointer 0xFFFB is at the top of memory"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(error_of(c.entry, c.stream).rfind(c.reason, 0), 0u) << error_of(c.entry, c.stream);

    // The rest of the last sector may follow, as the chain delivers it; SP 0xFFFA is the highest usable one.
    std::vector<std::uint8_t> whole_sectors = good.stream;
    whole_sectors.resize(97 * 510, 0);
    EXPECT_EQ(error_of(good.entry, whole_sectors), "");
    const auto highest = with_sp(0x0000);
    EXPECT_EQ(error_of(highest.entry, highest.stream), "");
}

TEST(Z80Packing, RunsAndTheEdRule)
{
    using Bytes = std::vector<std::uint8_t>;
    const std::pair<Bytes, Bytes> cases[] = {
        {{1, 1, 1, 1}, {1, 1, 1, 1}},
        {{2, 2, 2, 2, 2}, {0xED, 0xED, 5, 2}},
        {{0xED, 0xED}, {0xED, 0xED, 2, 0xED}},
        {{0xED, 7, 7, 7, 7, 7, 7}, {0xED, 7, 0xED, 0xED, 5, 7}}, // a byte after a lone ED never starts a run
        {{0xED}, {0xED}},
        {Bytes(300, 0), {0xED, 0xED, 255, 0, 0xED, 0xED, 45, 0}},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(snapshot::pack_z80_block(in), out);
}
