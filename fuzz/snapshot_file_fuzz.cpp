// Fuzz target: the .z80 and .sna readers (the first input byte picks the format: even .z80, odd .sna) and the +D
// snapshot encoder on whatever they accept. Besides the sanitizers it checks that every refusal has a reason, that
// a state read is written back to a file that reads as the same state, and that a +D file the encoder makes
// decodes to the registers and RAM it was made from.
#include "fuzz_support.h"

#include "common/bytes.h"
#include "image/directory.h"
#include "snapshot/plusd_snapshot.h"
#include "snapshot/snapshot.h"

#include <variant>

namespace {

bool same_registers(const snapshot::Registers& a, const snapshot::Registers& b)
{
    return a.af == b.af && a.bc == b.bc && a.de == b.de && a.hl == b.hl && a.af_alt == b.af_alt &&
           a.bc_alt == b.bc_alt && a.de_alt == b.de_alt && a.hl_alt == b.hl_alt && a.ix == b.ix && a.iy == b.iy &&
           a.sp == b.sp && a.pc == b.pc && a.i == b.i && a.r == b.r && a.iff1 == b.iff1 && a.iff2 == b.iff2 &&
           a.interrupt_mode == b.interrupt_mode;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto format = (data[0] & 1) == 0 ? snapshot::FileFormat::Z80 : snapshot::FileFormat::Sna;
    const auto result = snapshot::decode_file(std::span<const std::uint8_t>(data + 1, size - 1), format);
    if (const auto* error = std::get_if<common::Error>(&result)) {
        fuzz::require(!error->text.empty(), "a refusal gives its reason");
        return 0;
    }
    const auto& snap = std::get<snapshot::Snapshot>(result);
    const bool is_128k = snap.model == snapshot::Model::Spectrum128K;
    fuzz::require(snap.ram.size() == (is_128k ? snapshot::RAM_BYTES_128K : snapshot::RAM_BYTES_48K),
                  "the RAM has the model's size");

    const auto again = snapshot::decode_file(snapshot::encode_file(snap, format), format);
    fuzz::require(std::holds_alternative<snapshot::Snapshot>(again), "a state written reads back");
    const auto& back = std::get<snapshot::Snapshot>(again);
    fuzz::require(same_registers(back.regs, snap.regs) && back.ram == snap.ram && back.paging == snap.paging,
                  "a state written reads back the same");

    const auto plusd = snapshot::encode_plusd_snapshot(snap, "fuzz");
    if (const auto* error = std::get_if<common::Error>(&plusd)) {
        fuzz::require(!error->text.empty(), "a refusal gives its reason");
        return 0;
    }
    const auto& file = std::get<image::DiscFile>(plusd);
    const auto decoded = snapshot::decode_plusd_snapshot(file.entry, file.body);
    fuzz::require(std::holds_alternative<snapshot::Snapshot>(decoded), "an encoded +D file decodes");
    fuzz::require(same_registers(std::get<snapshot::Snapshot>(decoded).regs, snap.regs),
                  "an encoded +D file keeps the registers");
    return 0;
}
