#include "snapshot/snapshot.h"

#include "common/bytes.h"
#include "common/path_text.h"
#include "snapshot/sna_format.h"
#include "snapshot/z80_format.h"

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>

namespace snapshot {

std::span<const std::uint8_t> bank(const Snapshot& snap, int n)
{
    assert(snap.model == Model::Spectrum128K && n >= 0 && n < BANKS_128K && snap.ram.size() == RAM_BYTES_128K);
    return std::span<const std::uint8_t>(snap.ram).subspan(static_cast<std::size_t>(n) * PAGE_BYTES, PAGE_BYTES);
}

std::span<const std::uint8_t> page_at(const Snapshot& snap, std::uint16_t address)
{
    assert(address >= RAM_START);
    // The quarter of the address space: 1 (0x4000), 2 (0x8000) or 3 (0xC000).
    const std::size_t quarter = address / PAGE_BYTES;
    constexpr std::size_t QUARTER_4000 = RAM_START / PAGE_BYTES;
    constexpr std::size_t QUARTER_8000 = QUARTER_4000 + 1;
    if (snap.model == Model::Spectrum48K) {
        assert(snap.ram.size() == RAM_BYTES_48K);
        return std::span<const std::uint8_t>(snap.ram).subspan((quarter - QUARTER_4000) * PAGE_BYTES, PAGE_BYTES);
    }
    if (quarter == QUARTER_4000)
        return bank(snap, BANK_AT_4000);
    if (quarter == QUARTER_8000)
        return bank(snap, BANK_AT_8000);
    return bank(snap, snap.paging & paging::BANK_MASK);
}

std::uint8_t peek(const Snapshot& snap, std::uint16_t address)
{
    return page_at(snap, address)[address % PAGE_BYTES];
}

std::uint8_t& poke(Snapshot& snap, std::uint16_t address)
{
    const std::span<const std::uint8_t> page = page_at(snap, address);
    const auto offset = static_cast<std::size_t>(page.data() - snap.ram.data()) + address % PAGE_BYTES;
    return snap.ram[offset];
}

namespace {

constexpr std::size_t NOT_KEPT = SIZE_MAX;

// Where each layout keeps a pair, by PairLayout; NOT_KEPT where it keeps it otherwise (the .z80 stores A before F,
// the +D pushes AF onto the program's stack).
struct PairPlaces
{
    std::uint16_t Registers::*pair;
    std::array<std::size_t, 3> at;
};

constexpr std::array<PairPlaces, 11> PAIR_PLACES = {{
    {&Registers::af, {21, NOT_KEPT, NOT_KEPT}},
    {&Registers::bc, {13, 2, 234}},
    {&Registers::de, {11, 13, 232}},
    {&Registers::hl, {9, 4, 236}},
    {&Registers::af_alt, {7, NOT_KEPT, 230}},
    {&Registers::bc_alt, {5, 15, 226}},
    {&Registers::de_alt, {3, 17, 224}},
    {&Registers::hl_alt, {1, 19, 228}},
    {&Registers::ix, {17, 25, 222}},
    {&Registers::iy, {15, 23, 220}},
    {&Registers::sp, {23, 8, 240}},
}};

std::size_t place(const PairPlaces& places, PairLayout layout)
{
    return places.at[static_cast<std::size_t>(layout)];
}

} // namespace

void put_pairs(std::span<std::uint8_t> header, PairLayout layout, const Registers& regs)
{
    for (const PairPlaces& places : PAIR_PLACES) {
        if (place(places, layout) != NOT_KEPT)
            common::put_le16(header, place(places, layout), regs.*places.pair);
    }
}

void get_pairs(std::span<const std::uint8_t> header, PairLayout layout, Registers& regs)
{
    for (const PairPlaces& places : PAIR_PLACES) {
        if (place(places, layout) != NOT_KEPT)
            regs.*places.pair = common::get_le16(header, place(places, layout));
    }
}

std::uint8_t get_bits(std::span<const std::uint8_t> header, ByteBits field)
{
    return static_cast<std::uint8_t>((header[field.at] & field.mask) >> std::countr_zero(field.mask));
}

void put_bits(std::span<std::uint8_t> header, ByteBits field, unsigned value)
{
    const auto bits = static_cast<std::uint8_t>((value << std::countr_zero(field.mask)) & field.mask);
    header[field.at] = static_cast<std::uint8_t>((header[field.at] & ~field.mask) | bits);
}

std::optional<FileFormat> format_from_path(std::string_view path)
{
    const std::string extension = common::lower_extension(path);
    if (extension == "z80")
        return FileFormat::Z80;
    if (extension == "sna")
        return FileFormat::Sna;
    return std::nullopt;
}

std::vector<std::uint8_t> encode_file(const Snapshot& snap, FileFormat format)
{
    return format == FileFormat::Z80 ? encode_z80(snap) : encode_sna(snap);
}

common::Result<Snapshot> decode_file(std::span<const std::uint8_t> bytes, FileFormat format)
{
    return format == FileFormat::Z80 ? decode_z80(bytes) : decode_sna(bytes);
}

} // namespace snapshot
