// The screen of a slot of a disc: the first 6,912 bytes of the file there, whatever its length, with zeros after
// the end of a shorter file. `kestrel-cli screen` and the window's screen viewer both take it from here.
#pragma once

#include "image/sector_source.h"
#include "tape/extract.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace inspect {

struct SlotScreen
{
    std::vector<std::uint8_t> bytes; // SCREEN_BYTES
    tape::ChainReport chain;         // how much of the whole file its chain delivered
    // Zeros where the chain ended early fall within the screen's bytes: the picture misses data.
    bool incomplete = false;
};

// std::nullopt when the slot holds no file that can be extracted (only ZX BASIC, arrays, code and screens of
// non-zero length can).
std::optional<SlotScreen> read_slot_screen(image::SectorSource& disc, int slot);

} // namespace inspect
