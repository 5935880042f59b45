// A ZX Spectrum snapshot as a value: the Z80's registers, the RAM, the border and the 128K paging state, whatever
// file it came from or goes to. Readers of disc files fill it and the emulator-file writers encode it; nothing here
// reads a disc or writes a file. A 48K snapshot holds the 48 KiB from 0x4000; a 128K one holds RAM banks 0-7 and
// the value last written to port 0x7FFD, which says which bank lies at 0xC000.
#pragma once

#include "common/error.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace snapshot {

inline constexpr std::size_t PAGE_BYTES = 16384;
inline constexpr std::uint16_t RAM_START = 0x4000;
inline constexpr int PAGES_48K = 3;
inline constexpr int BANKS_128K = 8;
inline constexpr std::size_t RAM_BYTES_48K = PAGES_48K * PAGE_BYTES;
inline constexpr std::size_t RAM_BYTES_128K = BANKS_128K * PAGE_BYTES;

// The banks a 128K shows at 0x4000 and 0x8000 whatever the paging says.
inline constexpr int BANK_AT_4000 = 5;
inline constexpr int BANK_AT_8000 = 2;

// Bits of port 0x7FFD.
namespace paging {
inline constexpr std::uint8_t BANK_MASK = 0x07;     // the bank at 0xC000
inline constexpr std::uint8_t SHADOW_SCREEN = 0x08; // the screen shown from bank 7
inline constexpr std::uint8_t ROM_48 = 0x10;        // the 48K BASIC ROM paged in
inline constexpr std::uint8_t LOCKED = 0x20;        // paging locked until reset
inline constexpr std::uint8_t USED_BITS = 0x3F;
} // namespace paging

enum class Model
{
    Spectrum48K,
    Spectrum128K,
};

struct Registers
{
    std::uint16_t af = 0;
    std::uint16_t bc = 0;
    std::uint16_t de = 0;
    std::uint16_t hl = 0;
    std::uint16_t af_alt = 0;
    std::uint16_t bc_alt = 0;
    std::uint16_t de_alt = 0;
    std::uint16_t hl_alt = 0;
    std::uint16_t ix = 0;
    std::uint16_t iy = 0;
    std::uint16_t sp = 0;
    std::uint16_t pc = 0;
    std::uint8_t i = 0;
    std::uint8_t r = 0;
    bool iff1 = false;
    bool iff2 = false;
    std::uint8_t interrupt_mode = 1; // 0, 1 or 2
};

// The records that keep register pairs low byte first: the .sna header, the .z80 header and the +D directory
// entry of a snapshot.
enum class PairLayout
{
    Sna,
    Z80,
    PlusDEntry,
};

// Puts the pairs of `regs` into `header` where that layout keeps them.
void put_pairs(std::span<std::uint8_t> header, PairLayout layout, const Registers& regs);

// Reads the pairs that layout keeps from `header` into `regs`; the other registers stay as they are.
void get_pairs(std::span<const std::uint8_t> header, PairLayout layout, Registers& regs);

// Some bits of one header byte: the byte's offset and the mask of the bits.
struct ByteBits
{
    std::size_t at;
    std::uint8_t mask;
};

// The value the bits hold, shifted down to bit 0.
std::uint8_t get_bits(std::span<const std::uint8_t> header, ByteBits field);

// Sets the bits to `value` (shifted up to the mask's lowest bit), leaving the byte's other bits as they are.
void put_bits(std::span<std::uint8_t> header, ByteBits field, unsigned value);

struct Snapshot
{
    Model model = Model::Spectrum48K;
    Registers regs;
    std::uint8_t border = 0; // 0-7
    std::uint8_t paging = 0; // the last write to port 0x7FFD; 128K only
    // 48K: RAM_BYTES_48K bytes, the memory from 0x4000. 128K: RAM_BYTES_128K bytes, banks 0-7 in order.
    std::vector<std::uint8_t> ram;
};

// The 16 KiB bank `n` (0-7) of a 128K snapshot.
std::span<const std::uint8_t> bank(const Snapshot& snap, int n);

// The 16 KiB page that the processor sees at `address` (0x4000 or above), following the paging of a 128K.
std::span<const std::uint8_t> page_at(const Snapshot& snap, std::uint16_t address);

// The byte the processor reads at `address` (0x4000 or above).
std::uint8_t peek(const Snapshot& snap, std::uint16_t address);

// The emulator files the program writes.
enum class FileFormat
{
    Z80,
    Sna,
};

// The format named by the lower-cased extension of a file name (.z80, .sna); std::nullopt for any other.
std::optional<FileFormat> format_from_path(std::string_view path);

// The snapshot as the bytes of an emulator file of that format.
std::vector<std::uint8_t> encode_file(const Snapshot& snap, FileFormat format);

// The snapshot an emulator file of that format holds, or why it holds none this program can use (a damaged file,
// a machine other than the 48K and 128K Spectrum).
common::Result<Snapshot> decode_file(std::span<const std::uint8_t> bytes, FileFormat format);

// The byte at `address` (0x4000 or above) for writing, following the paging of a 128K.
std::uint8_t& poke(Snapshot& snap, std::uint16_t address);

} // namespace snapshot
