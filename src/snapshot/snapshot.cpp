#include "snapshot/snapshot.h"

#include "common/path_text.h"
#include "snapshot/sna_format.h"
#include "snapshot/z80_format.h"

#include <cassert>

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
