#include "snapshot/plusd_snapshot.h"

#include "common/bytes.h"
#include "common/number_text.h"
#include "image/chain.h"
#include "image/directory.h"
#include "image/sector_map.h"

#include <algorithm>

namespace snapshot {
namespace {

constexpr std::uint16_t STACK_TOP_LIMIT = 0x10000 - plusd::STACK_BYTES; // highest SP whose pushes stay in RAM
constexpr std::uint8_t I_AFTER_RESET = 0x00;
constexpr std::uint8_t I_OF_THE_ROM = 0x3F;
constexpr std::uint16_t BORDCR = 23624; // system variable: bits 3-5 the border colour
constexpr int BORDCR_SHIFT = 3;
constexpr std::uint8_t COLOUR_MASK = 0x07;
constexpr int BYTE_BITS = 8;

std::string model_name(int type_code)
{
    return type_code == plusd::TYPE_48K ? "48K" : "128K";
}

std::uint16_t peek16(const Snapshot& snap, std::uint16_t address)
{
    return static_cast<std::uint16_t>(peek(snap, address) |
                                      (peek(snap, static_cast<std::uint16_t>(address + 1)) << BYTE_BITS));
}

} // namespace

bool is_plusd_snapshot_type(int type_code)
{
    return image::file_type(type_code).snapshot;
}

std::size_t plusd_file_bytes(int type_code)
{
    if (type_code == plusd::TYPE_48K)
        return plusd::FILE_BYTES_48K;
    if (type_code == plusd::TYPE_128K)
        return plusd::FILE_BYTES_128K;
    return 0;
}

common::Result<Snapshot> decode_plusd_snapshot(std::span<const std::uint8_t> entry, std::span<const std::uint8_t> file)
{
    if (entry.size() < image::entry::SIZE)
        return common::Error{"the directory entry is " + std::to_string(entry.size()) + " bytes, not " +
                             std::to_string(image::entry::SIZE)};
    const int type = entry[image::entry::STATUS] & image::TYPE_MASK;
    if (!is_plusd_snapshot_type(type))
        return common::Error{"type " + std::to_string(type) +
                             " is no snapshot (48K snapshots are type 5, 128K type 9)"};
    const std::string name = model_name(type) + " snapshot";
    const std::size_t needed = plusd_file_bytes(type);
    const std::size_t sectors = image::sectors_for(needed);
    if (file.size() < needed)
        return common::Error{"the file holds " + std::to_string(file.size()) + " bytes, but a " + name + " needs " +
                             std::to_string(needed)};
    if (file.size() > sectors * image::data_sector::DATA_BYTES)
        return common::Error{"the file runs to " + std::to_string(image::sectors_for(file.size())) +
                             " sectors, but a " + name + " fills " + std::to_string(sectors)};

    Snapshot snap;
    if (type == plusd::TYPE_48K) {
        snap.model = Model::Spectrum48K;
        snap.ram.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(RAM_BYTES_48K));
    } else {
        snap.model = Model::Spectrum128K;
        // Bits 6 and 7 mean nothing to the 128K; a stray BANKM may carry them, and the emulators need not see them.
        snap.paging = file[plusd::FILE_PAGING] & paging::USED_BITS;
        const auto banks = file.subspan(plusd::FILE_BANKS, RAM_BYTES_128K);
        snap.ram.assign(banks.begin(), banks.end());
    }

    // The interface pushed AF and the PC onto the program's stack; with SP in ROM those pushes went nowhere, and
    // near the top of memory they wrapped round into ROM, so neither can be recovered.
    // A DISCiPLE ROM that misses an EX AF,AF' saves no AF' in the entry; it is kept as it is, there being no other.
    Registers& r = snap.regs;
    get_pairs(entry, PairLayout::PlusDEntry, r);
    const std::uint16_t sp = r.sp;
    if (sp < RAM_START)
        return common::Error{"the stack pointer " + common::hex(sp, common::WORD_DIGITS) +
                             " lies in ROM, so AF and the PC that the interface pushed there are lost"};
    if (sp > STACK_TOP_LIMIT)
        return common::Error{"the stack pointer " + common::hex(sp, common::WORD_DIGITS) +
                             " is at the top of memory, so AF and the PC that the interface pushed there are lost"};

    r.i = entry[image::entry::SNAP_I];
    r.af = peek16(snap, static_cast<std::uint16_t>(sp + plusd::STACK_AF));
    r.pc = peek16(snap, static_cast<std::uint16_t>(sp + plusd::STACK_PC));
    // R was read a few instructions into the interface's handler; the refresh counter has no truer value to give.
    r.r = peek(snap, static_cast<std::uint16_t>(sp + plusd::STACK_R));
    // After an NMI, IFF2 holds the interrupt state of the program; the handler's LD A,I copied it into P/V.
    r.iff1 = r.iff2 = (peek(snap, static_cast<std::uint16_t>(sp + plusd::STACK_FLAGS)) & plusd::IFF2_FLAG) != 0;
    // The interrupt mode is not saved. The interface's own reload sets IM 1 when I holds 0 or 63 (the values the
    // ROMs leave) and IM 2 otherwise, since only a program with its own vector table moves I; the same is done here.
    r.interrupt_mode = (r.i == I_AFTER_RESET || r.i == I_OF_THE_ROM) ? 1 : 2;
    // SP 0xFFFA leaves 0x0000 here: the stack then grows down from the top of memory, as on the machine.
    r.sp = static_cast<std::uint16_t>(sp + plusd::STACK_BYTES);
    // The border is not saved either. BORDCR holds the colour BASIC last set; a program that sets the border
    // itself usually rewrites it every frame, so this is right at once or soon after.
    snap.border = static_cast<std::uint8_t>((peek(snap, BORDCR) >> BORDCR_SHIFT) & COLOUR_MASK);
    return snap;
}

common::Result<image::DiscFile> encode_plusd_snapshot(const Snapshot& snap, std::string_view name)
{
    const Registers& r = snap.regs;
    const bool is_128k = snap.model == Model::Spectrum128K;
    // The interface reads the banks by paging each in at 0xC000; a machine with its paging locked keeps only one.
    if (is_128k && (snap.paging & paging::LOCKED) != 0)
        return common::Error{"the 128K's paging is locked (port 0x7FFD bit 5), so the interface could not page in the "
                             "banks to save them"};
    // The pushed registers must land in RAM: SP from 0x4006 up, or 0x0000, which leaves them at the top of memory.
    const auto stored_sp = static_cast<std::uint16_t>(r.sp - plusd::STACK_BYTES);
    if (stored_sp < RAM_START || stored_sp > STACK_TOP_LIMIT)
        return common::Error{"the stack pointer " + common::hex(r.sp, common::WORD_DIGITS) +
                             " is too low: the interface pushes six bytes below it, and they would land in ROM"};
    // After the NMI the interface knows only IFF2 and restores both flip-flops from it.
    if (r.iff1 != r.iff2)
        return common::Error{"IFF1 and IFF2 differ, and the interface restores both from IFF2"};
    // The interface does not save the interrupt mode; it restores IM 1 when I is 0 or 63 and IM 2 otherwise.
    const int restored_mode = (r.i == I_AFTER_RESET || r.i == I_OF_THE_ROM) ? 1 : 2;
    if (r.interrupt_mode != restored_mode)
        return common::Error{"the machine is in IM " + std::to_string(r.interrupt_mode) +
                             " with I = " + std::to_string(r.i) + ", but the interface would resume it in IM " +
                             std::to_string(restored_mode)};

    Snapshot copy = snap;
    // What the interface pushes below the program's SP: the PC, AF, then the flags of LD A,I (P/V holding IFF2)
    // with R. The other flag bits of that byte stay as memory had them, so a state read from a +D file comes back
    // to the same bytes.
    const auto put = [&](std::uint16_t offset, std::uint8_t value) {
        poke(copy, static_cast<std::uint16_t>(stored_sp + offset)) = value;
    };
    const std::uint8_t old_flags = peek(copy, static_cast<std::uint16_t>(stored_sp + plusd::STACK_FLAGS));
    put(plusd::STACK_FLAGS,
        static_cast<std::uint8_t>((old_flags & ~plusd::IFF2_FLAG) | (r.iff2 ? plusd::IFF2_FLAG : 0)));
    put(plusd::STACK_R, r.r);
    put(plusd::STACK_AF, static_cast<std::uint8_t>(r.af & 0xFF));
    put(plusd::STACK_AF + 1, static_cast<std::uint8_t>(r.af >> BYTE_BITS));
    put(plusd::STACK_PC, static_cast<std::uint8_t>(r.pc & 0xFF));
    put(plusd::STACK_PC + 1, static_cast<std::uint8_t>(r.pc >> BYTE_BITS));

    image::DiscFile file;
    image::EntryBytes& e = file.entry;
    e[image::entry::STATUS] = static_cast<std::uint8_t>(is_128k ? plusd::TYPE_128K : plusd::TYPE_48K);
    const auto stored = image::stored_name(name);
    std::copy(stored.begin(), stored.end(), e.begin() + image::entry::NAME);
    Registers kept = r;
    kept.sp = stored_sp;
    put_pairs(e, PairLayout::PlusDEntry, kept);
    e[image::entry::SNAP_I] = r.i;
    if (is_128k)
        file.body.push_back(copy.paging);
    file.body.insert(file.body.end(), copy.ram.begin(), copy.ram.end());
    return file;
}

common::Result<Snapshot> read_plusd_snapshot(image::SectorSource& disc, int slot)
{
    const image::EntryBytes entry = image::read_entry_bytes(disc, slot);
    const image::DirectoryEntry decoded = image::decode_directory_entry(entry);
    if (!is_plusd_snapshot_type(decoded.type_code()))
        return decode_plusd_snapshot(entry, {});
    const std::size_t sectors = image::sectors_for(plusd_file_bytes(decoded.type_code()));
    std::vector<std::uint8_t> file;
    file.reserve((sectors + 1) * image::data_sector::DATA_BYTES);
    const image::ChainRules rules{static_cast<int>(sectors) + 1, true};
    image::walk_chain(disc, {decoded.first_track, decoded.first_sector}, rules, [&](image::SectorView sector, int) {
        file.insert(file.end(), sector.begin(), sector.begin() + image::data_sector::DATA_BYTES);
        return true;
    });
    return decode_plusd_snapshot(entry, file);
}

} // namespace snapshot
