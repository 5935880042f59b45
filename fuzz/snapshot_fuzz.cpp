// Fuzz target: the +D snapshot reader on an arbitrary directory entry (the input's first 256 bytes) and file (the
// rest), and both emulator-file writers on whatever it accepts. Besides the sanitizers it checks what the reader
// promises (a reason for every refusal; the RAM, model and stack pointer of every snapshot) and that the .z80 page
// blocks unpack to exactly the RAM they were packed from and the .sna has one of its three sizes.
#include "fuzz_support.h"

#include "common/bytes.h"
#include "image/directory.h"
#include "snapshot/plusd_snapshot.h"
#include "snapshot/sna_format.h"
#include "snapshot/z80_format.h"

#include <algorithm>
#include <variant>

namespace {

constexpr std::uint8_t RUN_MARK = 0xED;
constexpr std::size_t RUN_BYTES = 4;

// Unpacks one .z80 block into out (which must end up PAGE_BYTES long); false when the block is malformed.
bool unpack(std::span<const std::uint8_t> packed, std::vector<std::uint8_t>& out)
{
    std::size_t at = 0;
    while (at < packed.size()) {
        if (packed[at] == RUN_MARK && at + 1 < packed.size() && packed[at + 1] == RUN_MARK) {
            if (at + RUN_BYTES > packed.size())
                return false;
            out.insert(out.end(), packed[at + 2], packed[at + 3]);
            at += RUN_BYTES;
        } else {
            out.push_back(packed[at++]);
        }
        if (out.size() > snapshot::PAGE_BYTES)
            return false;
    }
    return out.size() == snapshot::PAGE_BYTES;
}

void check_z80(const snapshot::Snapshot& snap, const std::vector<std::uint8_t>& file)
{
    namespace z80 = snapshot::z80;
    fuzz::require(file.size() >= z80::V3_SIZE, "a .z80 holds its whole header");
    fuzz::require(common::get_le16(file, z80::PC) == snap.regs.pc, "the PC is in the extension");
    const bool is_128k = snap.model == snapshot::Model::Spectrum128K;
    std::size_t at = z80::V3_SIZE;
    int blocks = 0;
    while (at < file.size()) {
        fuzz::require(at + z80::BLOCK_HEADER <= file.size(), "a block header is whole");
        const std::uint16_t length = common::get_le16(file, at + z80::BLOCK_LENGTH);
        const std::uint8_t page = file[at + z80::BLOCK_PAGE];
        const std::size_t data_length = length == z80::UNPACKED_BLOCK ? snapshot::PAGE_BYTES : length;
        const auto data = std::span<const std::uint8_t>(file).subspan(at + z80::BLOCK_HEADER);
        fuzz::require(data.size() >= data_length, "a block's data is whole");
        std::vector<std::uint8_t> page_bytes;
        if (length == z80::UNPACKED_BLOCK)
            page_bytes.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(data_length));
        else
            fuzz::require(unpack(data.first(data_length), page_bytes), "a packed block unpacks to 16 KiB");
        std::span<const std::uint8_t> expected;
        if (is_128k) {
            fuzz::require(page >= z80::FIRST_BANK_PAGE && page < z80::FIRST_BANK_PAGE + snapshot::BANKS_128K,
                          "128K pages are banks");
            expected = snapshot::bank(snap, page - z80::FIRST_BANK_PAGE);
        } else {
            // The .z80 format's pages of a 48K: 8 at 0x4000, 4 at 0x8000, 5 at 0xC000.
            const auto* found = std::ranges::find(z80::PAGES_OF_48K, page);
            fuzz::require(found != z80::PAGES_OF_48K.end(), "48K pages are 4, 5 and 8");
            const auto address =
                static_cast<std::uint16_t>(snapshot::RAM_START + (found - z80::PAGES_OF_48K.begin()) * 0x4000);
            expected = snapshot::page_at(snap, address);
        }
        fuzz::require(std::equal(page_bytes.begin(), page_bytes.end(), expected.begin(), expected.end()),
                      "a page unpacks to the RAM it came from");
        at += z80::BLOCK_HEADER + data_length;
        ++blocks;
    }
    fuzz::require(blocks == (is_128k ? snapshot::BANKS_128K : snapshot::PAGES_48K), "every page has one block");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    const std::size_t entry_size = std::min(size, image::entry::SIZE);
    const auto result = snapshot::decode_plusd_snapshot(input.first(entry_size), input.subspan(entry_size));
    if (const auto* error = std::get_if<common::Error>(&result)) {
        fuzz::require(!error->text.empty(), "a refusal gives its reason");
        return 0;
    }
    const auto& snap = std::get<snapshot::Snapshot>(result);
    const bool is_128k = snap.model == snapshot::Model::Spectrum128K;
    const int type = input[image::entry::STATUS] & image::TYPE_MASK;
    fuzz::require(is_128k == (type == snapshot::plusd::TYPE_128K), "the type decides the model");
    fuzz::require(snap.ram.size() == (is_128k ? snapshot::RAM_BYTES_128K : snapshot::RAM_BYTES_48K),
                  "the RAM has the model's size");
    const std::uint16_t stored_sp = common::get_le16(input, 240); // the entry keeps SP at 240
    fuzz::require(stored_sp >= snapshot::RAM_START &&
                      snap.regs.sp == static_cast<std::uint16_t>(stored_sp + snapshot::plusd::STACK_BYTES),
                  "SP comes back above the registers pushed into RAM");
    fuzz::require(snap.border <= 7 && snap.regs.interrupt_mode >= 1 && snap.regs.interrupt_mode <= 2,
                  "border and interrupt mode are in range");

    check_z80(snap, snapshot::encode_z80(snap));
    const std::size_t sna_size = snapshot::encode_sna(snap).size();
    fuzz::require(sna_size == snapshot::sna::SIZE_48K || sna_size == snapshot::sna::SIZE_128K ||
                      sna_size == snapshot::sna::SIZE_128K_REPEATED,
                  "a .sna has one of its three sizes");
    return 0;
}
