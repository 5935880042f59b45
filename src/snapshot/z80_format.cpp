#include "snapshot/z80_format.h"

#include "common/bytes.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace snapshot {
namespace {

constexpr std::uint8_t RUN_MARK = 0xED;
constexpr int R_TOP_SHIFT = 7;
constexpr std::uint8_t BORDER_MASK = 0x07;
constexpr int BORDER_SHIFT = 1;
constexpr std::uint8_t IFF_SET = 0xFF;

// The extension's T-state counter, which only the emulators read. The frame lengths are in T-states; the counter is
// written for T-state 0 of a frame, as the emulators read it back (low word: a quarter frame less one, high byte:
// the last quarter). The +D itself resumes a program at whatever point of the frame its reload ends, so no point of
// the frame is more right than another.
void put_tstates(std::span<std::uint8_t> h, bool is_128k)
{
    constexpr std::size_t TSTATES_LOW = 55;
    constexpr std::size_t TSTATES_HIGH = 57;
    constexpr std::uint32_t FRAME_48K = 69888;
    constexpr std::uint32_t FRAME_128K = 70908;
    constexpr std::uint32_t QUARTERS = 4;
    constexpr auto LAST_QUARTER = static_cast<std::uint8_t>(QUARTERS - 1);
    const std::uint32_t quarter = (is_128k ? FRAME_128K : FRAME_48K) / QUARTERS;
    common::put_le16(h, TSTATES_LOW, static_cast<std::uint16_t>(quarter - 1));
    h[TSTATES_HIGH] = LAST_QUARTER;
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
    constexpr std::size_t SHORTEST_RUN = 5;
    constexpr std::size_t SHORTEST_MARK_RUN = 2;
    constexpr std::size_t LONGEST_RUN = 255;
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
    put_pairs(h, PairLayout::Z80, r);
    common::put_be16(h, z80::AF, r.af);
    common::put_be16(h, z80::AF_ALT, r.af_alt);
    h[z80::I] = r.i;
    put_bits(h, z80::R_LOW, r.r);
    h[z80::FLAGS] = static_cast<std::uint8_t>((r.r >> R_TOP_SHIFT) | ((snap.border & BORDER_MASK) << BORDER_SHIFT));
    h[z80::IFF1] = r.iff1 ? IFF_SET : 0;
    h[z80::IFF2] = r.iff2 ? IFF_SET : 0;
    put_bits(h, z80::MODE, r.interrupt_mode);
    common::put_le16(h, z80::EXTENSION_LENGTH, static_cast<std::uint16_t>(z80::V3_EXTENSION));
    common::put_le16(h, z80::PC, r.pc);
    constexpr std::uint8_t MACHINE_48K = 0;
    constexpr std::uint8_t MACHINE_128K = 4;
    h[z80::MACHINE] = is_128k ? MACHINE_128K : MACHINE_48K;
    h[z80::PORT_7FFD] = is_128k ? snap.paging : 0;
    put_tstates(h, is_128k);
    // Both ROM halves marked as ROM, not RAM.
    constexpr std::size_t ROM_0000_WRITABLE = 61;
    constexpr std::size_t ROM_2000_WRITABLE = 62;
    constexpr std::uint8_t ROM_MARK = 0xFF;
    h[ROM_0000_WRITABLE] = ROM_MARK;
    h[ROM_2000_WRITABLE] = ROM_MARK;

    if (is_128k) {
        for (int n = 0; n < BANKS_128K; ++n)
            append_block(out, static_cast<std::uint8_t>(z80::FIRST_BANK_PAGE + n), bank(snap, n));
    } else {
        for (std::size_t n = 0; n < z80::PAGES_OF_48K.size(); ++n) {
            const auto address = static_cast<std::uint16_t>(RAM_START + n * PAGE_BYTES);
            append_block(out, z80::PAGES_OF_48K[n], page_at(snap, address));
        }
    }
    return out;
}

namespace {

constexpr std::size_t V2_EXTENSION = 23;
constexpr std::size_t V3_LONG_EXTENSION = 55;
constexpr std::uint8_t PACKED_V1 = 0x20; // in FLAGS: the 48 KiB are packed
constexpr std::uint8_t OLD_FLAGS = 0xFF; // an old writer's FLAGS, to be read as 1
constexpr std::array<std::uint8_t, 4> V1_END = {0x00, RUN_MARK, RUN_MARK, 0x00};
constexpr std::uint8_t PLUS2_MACHINE = 12;

// What the machine byte of a version 2 or 3 file names, for the machines this program keeps.
std::optional<Model> model_of(std::uint8_t machine, bool version3, bool variant)
{
    const bool is_48k = machine == 0 || machine == 1 || (version3 && machine == 3);
    const bool is_128k = (!version3 && (machine == 3 || machine == 4)) ||
                         (version3 && (machine == 4 || machine == 5 || machine == 6)) || machine == PLUS2_MACHINE;
    if (is_48k && !variant)
        return Model::Spectrum48K;
    if (is_128k)
        return Model::Spectrum128K;
    return std::nullopt;
}

std::string machine_name(std::uint8_t machine, bool version3, bool variant)
{
    if (variant && (machine == 0 || machine == 1 || (version3 && machine == 3)))
        return "a 16K Spectrum";
    switch (machine) {
    case 2:
        return "a SamRam";
    case 7:
    case 8:
        return "a +3";
    case 9:
        return "a Pentagon";
    case 10:
        return "a Scorpion";
    case 11:
        return "a Didaktik Kompakt";
    case 13:
        return "a +2A";
    case 14:
        return "a TC2048";
    case 15:
        return "a TC2068";
    case 128:
        return "a TS2068";
    default:
        return "machine " + std::to_string(machine);
    }
}

// Unpacks the run-length code into exactly `out.size()` bytes; false when the packed bytes give fewer or more.
bool unpack(std::span<const std::uint8_t> packed, std::span<std::uint8_t> out)
{
    std::size_t at = 0;
    std::size_t put = 0;
    while (at < packed.size()) {
        if (at + 3 < packed.size() && packed[at] == RUN_MARK && packed[at + 1] == RUN_MARK) {
            const std::size_t count = packed[at + 2];
            if (put + count > out.size())
                return false;
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(put), count, packed[at + 3]);
            put += count;
            at += 4;
            continue;
        }
        if (put == out.size())
            return false;
        out[put++] = packed[at++];
    }
    return put == out.size();
}

void get_registers(std::span<const std::uint8_t> h, Snapshot& snap)
{
    Registers& r = snap.regs;
    get_pairs(h, PairLayout::Z80, r);
    r.af = common::get_be16(h, z80::AF);
    r.af_alt = common::get_be16(h, z80::AF_ALT);
    r.pc = common::get_le16(h, z80::PC_V1);
    r.i = h[z80::I];
    const std::uint8_t flags = h[z80::FLAGS] == OLD_FLAGS ? 1 : h[z80::FLAGS];
    r.r = static_cast<std::uint8_t>(get_bits(h, z80::R_LOW) | ((flags & 1) << R_TOP_SHIFT));
    snap.border = (flags >> BORDER_SHIFT) & BORDER_MASK;
    r.iff1 = h[z80::IFF1] != 0;
    r.iff2 = h[z80::IFF2] != 0;
    r.interrupt_mode = get_bits(h, z80::MODE);
}

common::Result<Snapshot> decode_v1(std::span<const std::uint8_t> bytes, Snapshot snap)
{
    snap.model = Model::Spectrum48K;
    snap.ram.assign(RAM_BYTES_48K, 0);
    auto data = bytes.subspan(z80::V1_SIZE);
    const std::uint8_t flags = bytes[z80::FLAGS] == OLD_FLAGS ? 1 : bytes[z80::FLAGS];
    if ((flags & PACKED_V1) == 0) {
        if (data.size() != RAM_BYTES_48K)
            return common::Error{"an unpacked version 1 .z80 holds " + std::to_string(RAM_BYTES_48K) +
                                 " bytes of memory, this one " + std::to_string(data.size())};
        std::copy(data.begin(), data.end(), snap.ram.begin());
        return snap;
    }
    if (data.size() >= V1_END.size() && std::equal(V1_END.begin(), V1_END.end(), data.end() - V1_END.size()))
        data = data.first(data.size() - V1_END.size());
    if (!unpack(data, snap.ram))
        return common::Error{"the packed memory of the .z80 file does not unpack to 48 KiB"};
    return snap;
}

} // namespace

common::Result<Snapshot> decode_z80(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < z80::V1_SIZE)
        return common::Error{"a .z80 file has a header of at least " + std::to_string(z80::V1_SIZE) +
                             " bytes, this one " + std::to_string(bytes.size())};
    Snapshot snap;
    get_registers(bytes, snap);
    if (snap.regs.pc != 0)
        return decode_v1(bytes, std::move(snap));

    if (bytes.size() < z80::V1_SIZE + 2)
        return common::Error{"the .z80 file ends inside its header"};
    const std::size_t extension = common::get_le16(bytes, z80::EXTENSION_LENGTH);
    if (extension != V2_EXTENSION && extension != z80::V3_EXTENSION && extension != V3_LONG_EXTENSION)
        return common::Error{"the .z80 header extension is " + std::to_string(extension) +
                             " bytes; versions 2 and 3 have 23, 54 or 55"};
    const std::size_t header = z80::V1_SIZE + 2 + extension;
    if (bytes.size() < header)
        return common::Error{"the .z80 file ends inside its header"};
    snap.regs.pc = common::get_le16(bytes, z80::PC);
    const bool version3 = extension != V2_EXTENSION;
    const std::uint8_t machine = bytes[z80::MACHINE];
    const bool variant = get_bits(bytes, z80::VARIANT) != 0;
    const std::optional<Model> model = model_of(machine, version3, variant);
    if (!model)
        return common::Error{"the .z80 file is of " + machine_name(machine, version3, variant) +
                             "; only 48K and 128K Spectrum snapshots can be used"};
    snap.model = *model;
    const bool is_128k = snap.model == Model::Spectrum128K;
    snap.paging = is_128k ? (bytes[z80::PORT_7FFD] & paging::USED_BITS) : 0;
    snap.ram.assign(is_128k ? RAM_BYTES_128K : RAM_BYTES_48K, 0);

    // Each page block fills one 16 KiB page; every page of the machine must come once.
    std::array<bool, BANKS_128K> seen{};
    std::size_t at = header;
    while (at < bytes.size()) {
        if (bytes.size() - at < z80::BLOCK_HEADER)
            return common::Error{"the .z80 file ends inside a page block's header"};
        const std::uint16_t length = common::get_le16(bytes, at + z80::BLOCK_LENGTH);
        const std::uint8_t page = bytes[at + z80::BLOCK_PAGE];
        at += z80::BLOCK_HEADER;
        const std::size_t stored = length == z80::UNPACKED_BLOCK ? PAGE_BYTES : length;
        if (bytes.size() - at < stored)
            return common::Error{"page " + std::to_string(page) + " of the .z80 file runs past its end"};
        int slot = -1;
        if (is_128k && page >= z80::FIRST_BANK_PAGE && page < z80::FIRST_BANK_PAGE + BANKS_128K)
            slot = page - z80::FIRST_BANK_PAGE;
        else if (const auto* found = std::find(z80::PAGES_OF_48K.begin(), z80::PAGES_OF_48K.end(), page);
                 !is_128k && found != z80::PAGES_OF_48K.end())
            slot = static_cast<int>(found - z80::PAGES_OF_48K.begin());
        if (slot < 0) {
            at += stored; // a ROM or an interface's page: not the machine's RAM
            continue;
        }
        const auto out =
            std::span<std::uint8_t>(snap.ram).subspan(static_cast<std::size_t>(slot) * PAGE_BYTES, PAGE_BYTES);
        const auto data = bytes.subspan(at, stored);
        if (length == z80::UNPACKED_BLOCK)
            std::copy(data.begin(), data.end(), out.begin());
        else if (!unpack(data, out))
            return common::Error{"page " + std::to_string(page) + " of the .z80 file does not unpack to 16 KiB"};
        seen[static_cast<std::size_t>(slot)] = true;
        at += stored;
    }
    const int pages = is_128k ? BANKS_128K : PAGES_48K;
    for (int n = 0; n < pages; ++n) {
        const auto slot = static_cast<std::size_t>(n);
        if (!seen[slot])
            return common::Error{"the .z80 file lacks its page " +
                                 std::to_string(is_128k ? z80::FIRST_BANK_PAGE + n : z80::PAGES_OF_48K[slot])};
    }
    return snap;
}

} // namespace snapshot
