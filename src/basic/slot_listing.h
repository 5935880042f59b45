// The listing of the BASIC program in a slot of a disc. A ZX program is taken along its chain with its tape header,
// rewritten as a tape loader when asked, then listed up to the program length its header gives; a SAM program is
// its data after the disc header, listed as SAM BASIC (it has no loader to rewrite). `kestrel-cli basic` and the
// window's "List BASIC" both list through it.
#pragma once

#include "basic/listing.h"
#include "image/extract.h"
#include "image/sector_source.h"
#include "tape/basic_rewrite.h"

#include <optional>
#include <vector>

namespace basic {

struct SlotListing
{
    Listing listing;
    bool sam = false;         // a SAM BASIC program, not a ZX one
    image::ChainReport chain; // how much of the file its chain delivered
    // Only after the rewrite: the statements that would still stop with a syntax error from tape.
    std::vector<tape::DiscOnlyStatement> disc_only;
};

// Lists the program in `slot`; with `rewrite`, a ZX program after the loader rewrite that the tape conversion
// applies (to the whole data block, variables included, as the tape holds it). std::nullopt when the slot holds no
// BASIC program that can be read.
std::optional<SlotListing> list_slot(image::SectorSource& disc, int slot, bool rewrite);

} // namespace basic
