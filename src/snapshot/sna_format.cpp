#include "snapshot/sna_format.h"

#include "common/bytes.h"

#include <algorithm>
#include <cassert>

namespace snapshot {
namespace {

constexpr std::uint16_t PC_BYTES = 2;

// Grows the vector and copies, rather than insert(), which GCC 12 at -O3 flags with a false -Warray-bounds.
void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes)
{
    const std::size_t at = out.size();
    out.resize(at + bytes.size());
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

// The header with SP as the file keeps it.
void put_header(std::span<std::uint8_t> h, const Snapshot& snap, std::uint16_t sp)
{
    Registers stored = snap.regs;
    stored.sp = sp;
    put_pairs(h, PairLayout::Sna, stored);
    h[sna::I] = stored.i;
    put_bits(h, sna::IFF2, stored.iff2 ? 1 : 0);
    h[sna::R] = stored.r;
    put_bits(h, sna::MODE, stored.interrupt_mode);
    put_bits(h, sna::BORDER, snap.border);
}

std::vector<std::uint8_t> encode_48k(const Snapshot& snap)
{
    const auto sp = static_cast<std::uint16_t>(snap.regs.sp - PC_BYTES);
    assert(sp >= RAM_START && sp < UINT16_MAX);
    std::vector<std::uint8_t> out(sna::HEADER_SIZE, 0);
    put_header(out, snap, sp);
    append(out, snap.ram);
    common::put_le16(std::span<std::uint8_t>(out).subspan(sna::HEADER_SIZE), static_cast<std::size_t>(sp - RAM_START),
                     snap.regs.pc);
    return out;
}

std::vector<std::uint8_t> encode_128k(const Snapshot& snap)
{
    std::vector<std::uint8_t> out(sna::HEADER_SIZE, 0);
    put_header(out, snap, snap.regs.sp);
    const int paged = snap.paging & paging::BANK_MASK;
    append(out, bank(snap, BANK_AT_4000));
    append(out, bank(snap, BANK_AT_8000));
    append(out, bank(snap, paged));
    common::append_le16(out, snap.regs.pc);
    out.push_back(snap.paging);
    out.push_back(0); // TR-DOS not paged
    // Six banks follow when bank 5 or 2 is the paged one (it then came twice above), five otherwise.
    for (int n = 0; n < BANKS_128K; ++n) {
        if (n != BANK_AT_4000 && n != BANK_AT_8000 && n != paged)
            append(out, bank(snap, n));
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> encode_sna(const Snapshot& snap)
{
    return snap.model == Model::Spectrum128K ? encode_128k(snap) : encode_48k(snap);
}

namespace {

void get_header(std::span<const std::uint8_t> h, Snapshot& snap)
{
    Registers& r = snap.regs;
    get_pairs(h, PairLayout::Sna, r);
    r.i = h[sna::I];
    // The other flip-flop equals IFF2 outside an NMI handler.
    r.iff1 = r.iff2 = get_bits(h, sna::IFF2) != 0;
    r.r = h[sna::R];
    r.interrupt_mode = get_bits(h, sna::MODE);
    snap.border = get_bits(h, sna::BORDER);
}

} // namespace

common::Result<Snapshot> decode_sna(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != sna::SIZE_48K && bytes.size() != sna::SIZE_128K && bytes.size() != sna::SIZE_128K_REPEATED)
        return common::Error{"a .sna file is " + std::to_string(sna::SIZE_48K) + " bytes (48K) or " +
                             std::to_string(sna::SIZE_128K) + " or " + std::to_string(sna::SIZE_128K_REPEATED) +
                             " (128K), not " + std::to_string(bytes.size())};
    Snapshot snap;
    get_header(bytes, snap);
    const auto ram = bytes.subspan(sna::HEADER_SIZE, RAM_BYTES_48K);
    if (bytes.size() == sna::SIZE_48K) {
        snap.model = Model::Spectrum48K;
        snap.ram.assign(ram.begin(), ram.end());
        const std::uint16_t sp = snap.regs.sp;
        if (sp < RAM_START || sp == UINT16_MAX)
            return common::Error{"the stack pointer " + std::to_string(sp) + " does not point at the PC in RAM"};
        snap.regs.pc =
            static_cast<std::uint16_t>(peek(snap, sp) | (peek(snap, static_cast<std::uint16_t>(sp + 1)) << 8));
        snap.regs.sp = static_cast<std::uint16_t>(sp + PC_BYTES);
        return snap;
    }
    snap.model = Model::Spectrum128K;
    const auto extension = bytes.subspan(sna::SIZE_48K, sna::EXTENSION_SIZE);
    snap.regs.pc = common::get_le16(extension, sna::PC);
    snap.paging = extension[sna::PORT_7FFD] & paging::USED_BITS;
    const int paged = snap.paging & paging::BANK_MASK;
    const bool repeated = paged == BANK_AT_4000 || paged == BANK_AT_8000;
    if (repeated != (bytes.size() == sna::SIZE_128K_REPEATED))
        return common::Error{"a 128K .sna file with bank " + std::to_string(paged) + " paged in is " +
                             std::to_string(repeated ? sna::SIZE_128K_REPEATED : sna::SIZE_128K) + " bytes, not " +
                             std::to_string(bytes.size())};
    snap.ram.assign(RAM_BYTES_128K, 0);
    const auto put_bank = [&](int n, std::span<const std::uint8_t> from) {
        std::copy(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(PAGE_BYTES),
                  snap.ram.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(n) * PAGE_BYTES));
    };
    put_bank(BANK_AT_4000, ram.subspan(0, PAGE_BYTES));
    put_bank(BANK_AT_8000, ram.subspan(PAGE_BYTES, PAGE_BYTES));
    put_bank(paged, ram.subspan(2 * PAGE_BYTES, PAGE_BYTES));
    std::size_t at = sna::SIZE_48K + sna::EXTENSION_SIZE;
    for (int n = 0; n < BANKS_128K; ++n) {
        if (n != BANK_AT_4000 && n != BANK_AT_8000 && n != paged) {
            put_bank(n, bytes.subspan(at, PAGE_BYTES));
            at += PAGE_BYTES;
        }
    }
    return snap;
}

} // namespace snapshot
