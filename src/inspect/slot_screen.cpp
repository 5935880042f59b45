#include "inspect/slot_screen.h"

#include "inspect/screen.h"

#include <utility>

namespace inspect {

std::optional<SlotScreen> read_slot_screen(image::SectorSource& disc, int slot)
{
    std::optional<tape::Extracted> file = tape::extract_file(disc, slot);
    if (!file)
        return std::nullopt;
    SlotScreen screen;
    screen.incomplete = file->data.size() - file->chain.zero_bytes < SCREEN_BYTES;
    screen.chain = file->chain;
    screen.bytes = std::move(file->data);
    screen.bytes.resize(SCREEN_BYTES, 0);
    return screen;
}

} // namespace inspect
