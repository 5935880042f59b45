#include "snapshot/snapshot_read.h"

#include "common/bytes.h"
#include "snapshot/sna_format.h"
#include "snapshot/z80_format.h"

#include <algorithm>
#include <optional>

namespace snapshot {
namespace {

constexpr std::uint8_t R_HIGH_BIT = 0x80;
constexpr std::uint8_t FLAGS_R7 = 0x01;
constexpr int FLAGS_BORDER_SHIFT = 1;
constexpr std::uint8_t BORDER_MASK = 0x07;
constexpr std::uint8_t FLAGS_PACKED = 0x20; // version 1: the 48 KiB are packed
constexpr std::uint8_t MODE_MASK = 0x03;
constexpr std::uint8_t RLE_MARK = 0xED;
constexpr std::size_t V2_EXTENSION = 23;
constexpr std::size_t V3_EXTENSION_LONG = 55;

// Unpacks the .z80 run-length code from `in` into exactly out.size() bytes; false when the data runs out first or
// a run would pass the end. Bytes after the last one needed (the end marker of version 1) are not read.
bool unpack(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)
{
    std::size_t at = 0;
    std::size_t put = 0;
    while (put < out.size()) {
        if (at + 1 < in.size() && in[at] == RLE_MARK && in[at + 1] == RLE_MARK) {
            if (at + 3 >= in.size())
                return false;
            const std::size_t count = in[at + 2];
            if (count > out.size() - put)
                return false;
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(put), count, in[at + 3]);
            put += count;
            at += 4;
        } else if (at < in.size()) {
            out[put++] = in[at++];
        } else {
            return false;
        }
    }
    return true;
}

// The bank (128K) or the 16 KiB place from 0x4000 (48K) a version 2/3 page number stands for.
std::optional<std::size_t> page_place(std::uint8_t page, Model model)
{
    if (model == Model::Spectrum128K) {
        if (page >= z80::FIRST_BANK_PAGE && page < z80::FIRST_BANK_PAGE + BANKS_128K)
            return page - z80::FIRST_BANK_PAGE;
        return std::nullopt;
    }
    switch (page) {
    case z80::PAGE_4000_48K:
        return 0;
    case z80::PAGE_8000_48K:
        return 1;
    case z80::PAGE_C000_48K:
        return 2;
    default:
        return std::nullopt;
    }
}

// The machine of a version 2 or 3 file's hardware byte; std::nullopt for one the +D does not serve.
std::optional<Model> model_of(std::uint8_t hardware, bool version3)
{
    if (hardware == 0 || hardware == 1 || (version3 && hardware == 3))
        return Model::Spectrum48K;
    if (version3 ? (hardware >= 4 && hardware <= 6) : (hardware == 3 || hardware == 4))
        return Model::Spectrum128K;
    if (hardware == 12) // the +2, paged as the 128K
        return Model::Spectrum128K;
    return std::nullopt;
}

} // namespace

std::variant<Snapshot, std::string> decode_z80(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < z80::V1_SIZE)
        return std::string("too short for a .z80 file");
    Snapshot snap;
    Registers& r = snap.regs;
    const std::uint8_t flags = bytes[z80::FLAGS] == 0xFF ? 1 : bytes[z80::FLAGS];
    r.af = static_cast<std::uint16_t>(bytes[z80::A] << 8 | bytes[z80::F]);
    r.bc = common::get_le16(bytes, z80::BC);
    r.hl = common::get_le16(bytes, z80::HL);
    r.sp = common::get_le16(bytes, z80::SP);
    r.i = bytes[z80::I];
    r.r = static_cast<std::uint8_t>((bytes[z80::R] & ~R_HIGH_BIT) | ((flags & FLAGS_R7) != 0 ? R_HIGH_BIT : 0));
    snap.border = static_cast<std::uint8_t>((flags >> FLAGS_BORDER_SHIFT) & BORDER_MASK);
    r.de = common::get_le16(bytes, z80::DE);
    r.bc_alt = common::get_le16(bytes, z80::BC_ALT);
    r.de_alt = common::get_le16(bytes, z80::DE_ALT);
    r.hl_alt = common::get_le16(bytes, z80::HL_ALT);
    r.af_alt = static_cast<std::uint16_t>(bytes[z80::A_ALT] << 8 | bytes[z80::F_ALT]);
    r.iy = common::get_le16(bytes, z80::IY);
    r.ix = common::get_le16(bytes, z80::IX);
    r.iff1 = bytes[z80::IFF1] != 0;
    r.iff2 = bytes[z80::IFF2] != 0;
    r.interrupt_mode = static_cast<std::uint8_t>(bytes[z80::MODE] & MODE_MASK);
    if (r.interrupt_mode > 2)
        return std::string("interrupt mode 3 is no Z80 mode");

    const std::uint16_t pc_v1 = common::get_le16(bytes, z80::PC_V1);
    if (pc_v1 != 0) {
        // Version 1: a 48K, its 48 KiB after the header, packed or not.
        r.pc = pc_v1;
        snap.ram.assign(RAM_BYTES_48K, 0);
        const auto data = bytes.subspan(z80::V1_SIZE);
        if ((flags & FLAGS_PACKED) == 0) {
            if (data.size() < RAM_BYTES_48K)
                return std::string("the memory ends early");
            std::copy_n(data.begin(), RAM_BYTES_48K, snap.ram.begin());
        } else if (!unpack(data, snap.ram)) {
            return std::string("the packed memory ends early or overruns");
        }
        return snap;
    }

    if (bytes.size() < z80::V1_SIZE + 2)
        return std::string("too short for a .z80 file");
    const std::size_t extension = common::get_le16(bytes, z80::EXTENSION_LENGTH);
    if (extension != V2_EXTENSION && extension != z80::V3_EXTENSION && extension != V3_EXTENSION_LONG)
        return "a header extension of " + std::to_string(extension) + " bytes is no .z80 version's";
    const std::size_t data_start = z80::V1_SIZE + 2 + extension;
    if (bytes.size() < data_start)
        return std::string("too short for its header");
    const bool version3 = extension != V2_EXTENSION;
    r.pc = common::get_le16(bytes, z80::PC);
    const auto model = model_of(bytes[z80::MACHINE], version3);
    if (!model)
        return "machine " + std::to_string(bytes[z80::MACHINE]) + " of the .z80 file is neither a 48K nor a 128K";
    snap.model = *model;
    const std::size_t places = snap.model == Model::Spectrum128K ? BANKS_128K : PAGES_48K;
    if (snap.model == Model::Spectrum128K)
        snap.paging = static_cast<std::uint8_t>(bytes[z80::PORT_7FFD] & paging::USED_BITS);
    snap.ram.assign(places * PAGE_BYTES, 0);
    std::vector<bool> seen(places, false);
    std::size_t at = data_start;
    while (at < bytes.size()) {
        if (bytes.size() - at < z80::BLOCK_HEADER)
            return std::string("a memory block's header is cut short");
        const std::uint16_t length = common::get_le16(bytes, at + z80::BLOCK_LENGTH);
        const std::uint8_t page = bytes[at + z80::BLOCK_PAGE];
        at += z80::BLOCK_HEADER;
        const std::size_t stored = length == z80::UNPACKED_BLOCK ? PAGE_BYTES : length;
        if (bytes.size() - at < stored)
            return "the block of page " + std::to_string(page) + " is cut short";
        const auto place = page_place(page, snap.model);
        if (place) {
            const auto out = std::span<std::uint8_t>(snap.ram).subspan(*place * PAGE_BYTES, PAGE_BYTES);
            const auto in = bytes.subspan(at, stored);
            if (length == z80::UNPACKED_BLOCK)
                std::copy(in.begin(), in.end(), out.begin());
            else if (!unpack(in, out))
                return "the packed block of page " + std::to_string(page) + " does not fill 16,384 bytes";
            seen[*place] = true;
        }
        at += stored;
    }
    if (std::find(seen.begin(), seen.end(), false) != seen.end())
        return std::string("a memory page is missing from the file");
    return snap;
}

std::variant<Snapshot, std::string> decode_sna(std::span<const std::uint8_t> bytes)
{
    const bool is48 = bytes.size() == sna::SIZE_48K;
    if (!is48 && bytes.size() != sna::SIZE_128K && bytes.size() != sna::SIZE_128K_REPEATED)
        return "a .sna file has 49,179, 131,103 or 147,487 bytes, not " + std::to_string(bytes.size());
    Snapshot snap;
    Registers& r = snap.regs;
    r.i = bytes[sna::I];
    r.hl_alt = common::get_le16(bytes, sna::HL_ALT);
    r.de_alt = common::get_le16(bytes, sna::DE_ALT);
    r.bc_alt = common::get_le16(bytes, sna::BC_ALT);
    r.af_alt = common::get_le16(bytes, sna::AF_ALT);
    r.hl = common::get_le16(bytes, sna::HL);
    r.de = common::get_le16(bytes, sna::DE);
    r.bc = common::get_le16(bytes, sna::BC);
    r.iy = common::get_le16(bytes, sna::IY);
    r.ix = common::get_le16(bytes, sna::IX);
    r.iff2 = (bytes[sna::IFF] & sna::IFF2_BIT) != 0;
    r.iff1 = r.iff2;
    r.r = bytes[sna::R];
    r.af = common::get_le16(bytes, sna::AF);
    r.sp = common::get_le16(bytes, sna::SP);
    r.interrupt_mode = bytes[sna::MODE];
    if (r.interrupt_mode > 2)
        return "interrupt mode " + std::to_string(r.interrupt_mode) + " is no Z80 mode";
    snap.border = static_cast<std::uint8_t>(bytes[sna::BORDER] & BORDER_MASK);
    const auto ram48 = bytes.subspan(sna::HEADER_SIZE, RAM_BYTES_48K);
    if (is48) {
        snap.ram.assign(ram48.begin(), ram48.end());
        // The PC lies on the stack: the two bytes at SP, which must be RAM.
        if (r.sp < RAM_START || r.sp > 0xFFFE)
            return "the stack pointer " + std::to_string(r.sp) + " does not point into RAM, where the PC must lie";
        r.pc = static_cast<std::uint16_t>(snap.ram[r.sp - RAM_START] | snap.ram[r.sp - RAM_START + 1] << 8);
        r.sp = static_cast<std::uint16_t>(r.sp + 2);
        return snap;
    }
    snap.model = Model::Spectrum128K;
    const auto ext = bytes.subspan(sna::SIZE_48K, sna::EXTENSION_SIZE);
    r.pc = common::get_le16(ext, sna::PC);
    snap.paging = static_cast<std::uint8_t>(ext[sna::PORT_7FFD] & paging::USED_BITS);
    const int paged = snap.paging & paging::BANK_MASK;
    snap.ram.assign(RAM_BYTES_128K, 0);
    auto put = [&](int bank, std::span<const std::uint8_t> from) {
        std::copy_n(from.begin(), PAGE_BYTES,
                    snap.ram.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(bank) * PAGE_BYTES));
    };
    put(BANK_AT_4000, ram48.subspan(0, PAGE_BYTES));
    put(BANK_AT_8000, ram48.subspan(PAGE_BYTES, PAGE_BYTES));
    put(paged, ram48.subspan(2 * PAGE_BYTES, PAGE_BYTES));
    std::size_t at = sna::SIZE_48K + sna::EXTENSION_SIZE;
    const bool repeated = paged == BANK_AT_4000 || paged == BANK_AT_8000;
    if (repeated != (bytes.size() == sna::SIZE_128K_REPEATED))
        return std::string("the file's size does not fit the bank its paging byte names");
    for (int bank = 0; bank < BANKS_128K; ++bank) {
        if (bank == BANK_AT_4000 || bank == BANK_AT_8000 || bank == paged)
            continue;
        put(bank, bytes.subspan(at, PAGE_BYTES));
        at += PAGE_BYTES;
    }
    return snap;
}

std::variant<Snapshot, std::string> decode_file(std::span<const std::uint8_t> bytes, FileFormat format)
{
    return format == FileFormat::Z80 ? decode_z80(bytes) : decode_sna(bytes);
}

} // namespace snapshot
