// The screen of a slot of a disc: for a ZX file the first 6,912 bytes of the file there, whatever its length, with
// zeros after the end of a shorter file; for a SAM Screen its picture in the mode its entry keeps. `kestrel-cli
// screen` and the window's screen viewer both take it from here.
#pragma once

#include "image/extract.h"
#include "image/sector_source.h"
#include "inspect/sam_screen.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace inspect {

struct SlotScreen
{
    std::vector<std::uint8_t> bytes; // SCREEN_BYTES
    image::ChainReport chain;        // how much of the whole file its chain delivered
    // Zeros where the chain ended early fall within the screen's bytes: the picture misses data.
    bool incomplete = false;
};

// std::nullopt when the slot holds no file that can be extracted (only ZX BASIC, arrays, code and screens of
// non-zero length can).
std::optional<SlotScreen> read_slot_screen(image::SectorSource& disc, int slot);

struct SlotSamScreen
{
    SamPicture picture;
    image::ChainReport chain; // how much of the file its chain delivered
};

// Whether the slot lists a SAM Screen file.
bool is_sam_screen_slot(image::SectorSource& disc, int slot);

// The SAM Screen in `slot`: its data after the disc header, decoded in the mode its entry keeps; the reason in
// words when there is no such file or it cannot be decoded (a length that does not fit its mode).
std::variant<SlotSamScreen, std::string> read_slot_sam_screen(image::SectorSource& disc, int slot);

} // namespace inspect
