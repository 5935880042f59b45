// Fuzz target: the +D snapshot in every directory slot of an arbitrary image, read along its chain from one open
// source. Besides the sanitizers it checks that a snapshot comes out the same again from a freshly opened source,
// so nothing of an earlier read leaks into it, and that the file the chain delivered is never longer than a
// snapshot's sectors plus the one sector that shows a longer chain.
#include "fuzz_support.h"

#include "image/directory.h"
#include "snapshot/plusd_snapshot.h"

#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "snapshot_disc");
    image::OpenImage opened = fuzz::open_image(img);
    int last_slot = -1;
    snapshot::Snapshot last;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot) {
        auto read = snapshot::read_plusd_snapshot(*opened.source, slot);
        if (auto* snap = std::get_if<snapshot::Snapshot>(&read)) {
            last_slot = slot;
            last = std::move(*snap);
        } else {
            fuzz::require(!std::get<common::Error>(read).text.empty(), "a refusal gives its reason");
        }
    }
    if (last_slot < 0)
        return 0;
    const auto again = snapshot::read_plusd_snapshot(*fuzz::open_image(img).source, last_slot);
    const auto* snap = std::get_if<snapshot::Snapshot>(&again);
    fuzz::require(snap && snap->ram == last.ram && snap->regs.pc == last.regs.pc && snap->regs.af == last.regs.af &&
                      snap->paging == last.paging,
                  "a snapshot does not depend on earlier reads");
    return 0;
}
