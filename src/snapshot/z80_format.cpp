#include "snapshot/z80_format.h"

#include "common/bytes.h"

#include <algorithm>
#include <array>

namespace snapshot {
namespace {

constexpr std::uint8_t RUN_MARK = 0xED;
constexpr std::size_t SHORTEST_RUN = 5;
constexpr std::size_t SHORTEST_MARK_RUN = 2;
constexpr std::size_t LONGEST_RUN = 255;
constexpr std::uint8_t R_LOW_BITS = 0x7F;
constexpr int R_TOP_SHIFT = 7;
constexpr std::uint8_t BORDER_MASK = 0x07;
constexpr int BORDER_SHIFT = 1;
constexpr std::uint8_t IFF_SET = 0xFF;
constexpr std::uint8_t MODE_MASK = 0x03;
constexpr std::uint8_t ROM_MARK = 0xFF;

// The frame lengths in T-states; the counter is written for T-state 0 of a frame, as the emulators read it back
// (low word: a quarter frame less one, high byte: 3). The +D itself resumes a program at whatever point of the
// frame its reload ends, so no point of the frame is more right than another.
constexpr std::uint32_t FRAME_48K = 69888;
constexpr std::uint32_t FRAME_128K = 70908;
constexpr std::uint32_t QUARTERS = 4;
constexpr std::uint8_t LAST_QUARTER = 3;

void put_pair(std::span<std::uint8_t> h, std::size_t at, std::uint16_t value)
{
    common::put_le16(h, at, value);
}

constexpr int BYTE_BITS = 8;
constexpr std::uint16_t LOW_BYTE = 0xFF;

std::uint8_t high(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value >> BYTE_BITS);
}

std::uint8_t low(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value & LOW_BYTE);
}

void append_block(std::vector<std::uint8_t>& out, std::uint8_t page, std::span<const std::uint8_t> data)
{
    const std::vector<std::uint8_t> packed = pack_z80_block(data);
    // A block that packing would not shrink is stored as it is, which the length 0xFFFF marks.
    if (packed.size() >= data.size()) {
        common::append_le16(out, z80::UNPACKED_BLOCK);
        out.push_back(page);
        out.insert(out.end(), data.begin(), data.end());
        return;
    }
    common::append_le16(out, static_cast<std::uint16_t>(packed.size()));
    out.push_back(page);
    out.insert(out.end(), packed.begin(), packed.end());
}

} // namespace

std::vector<std::uint8_t> pack_z80_block(std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> out;
    out.reserve(data.size());
    std::size_t at = 0;
    while (at < data.size()) {
        const std::uint8_t value = data[at];
        std::size_t run = 1;
        while (at + run < data.size() && run < LONGEST_RUN && data[at + run] == value)
            ++run;
        if (run >= SHORTEST_RUN || (value == RUN_MARK && run >= SHORTEST_MARK_RUN)) {
            out.insert(out.end(), {RUN_MARK, RUN_MARK, static_cast<std::uint8_t>(run), value});
            at += run;
        } else if (value == RUN_MARK) {
            out.push_back(value);
            ++at;
            if (at < data.size())
                out.push_back(data[at++]);
        } else {
            out.push_back(value);
            ++at;
        }
    }
    return out;
}

std::vector<std::uint8_t> encode_z80(const Snapshot& snap)
{
    const Registers& r = snap.regs;
    const bool is_128k = snap.model == Model::Spectrum128K;
    std::vector<std::uint8_t> out(z80::V3_SIZE, 0);
    const std::span<std::uint8_t> h(out);
    h[z80::A] = high(r.af);
    h[z80::F] = low(r.af);
    put_pair(h, z80::BC, r.bc);
    put_pair(h, z80::HL, r.hl);
    put_pair(h, z80::PC_V1, 0);
    put_pair(h, z80::SP, r.sp);
    h[z80::I] = r.i;
    h[z80::R] = r.r & R_LOW_BITS;
    h[z80::FLAGS] = static_cast<std::uint8_t>((r.r >> R_TOP_SHIFT) | ((snap.border & BORDER_MASK) << BORDER_SHIFT));
    put_pair(h, z80::DE, r.de);
    put_pair(h, z80::BC_ALT, r.bc_alt);
    put_pair(h, z80::DE_ALT, r.de_alt);
    put_pair(h, z80::HL_ALT, r.hl_alt);
    h[z80::A_ALT] = high(r.af_alt);
    h[z80::F_ALT] = low(r.af_alt);
    put_pair(h, z80::IY, r.iy);
    put_pair(h, z80::IX, r.ix);
    h[z80::IFF1] = r.iff1 ? IFF_SET : 0;
    h[z80::IFF2] = r.iff2 ? IFF_SET : 0;
    h[z80::MODE] = r.interrupt_mode & MODE_MASK;
    put_pair(h, z80::EXTENSION_LENGTH, static_cast<std::uint16_t>(z80::V3_EXTENSION));
    put_pair(h, z80::PC, r.pc);
    h[z80::MACHINE] = is_128k ? z80::MACHINE_128K : z80::MACHINE_48K;
    h[z80::PORT_7FFD] = is_128k ? snap.paging : 0;
    const std::uint32_t quarter = (is_128k ? FRAME_128K : FRAME_48K) / QUARTERS;
    put_pair(h, z80::TSTATES_LOW, static_cast<std::uint16_t>(quarter - 1));
    h[z80::TSTATES_HIGH] = LAST_QUARTER;
    h[z80::ROM_0000_WRITABLE] = ROM_MARK;
    h[z80::ROM_2000_WRITABLE] = ROM_MARK;

    if (is_128k) {
        for (int n = 0; n < BANKS_128K; ++n)
            append_block(out, static_cast<std::uint8_t>(z80::FIRST_BANK_PAGE + n), bank(snap, n));
    } else {
        constexpr std::array<std::uint8_t, PAGES_48K> PAGE_NUMBERS = {z80::PAGE_4000_48K, z80::PAGE_8000_48K,
                                                                      z80::PAGE_C000_48K};
        for (std::size_t n = 0; n < PAGE_NUMBERS.size(); ++n) {
            const auto address = static_cast<std::uint16_t>(RAM_START + n * PAGE_BYTES);
            append_block(out, PAGE_NUMBERS[n], page_at(snap, address));
        }
    }
    return out;
}

} // namespace snapshot
