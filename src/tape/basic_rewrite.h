// Blanking of disc syntax out of the LOAD and SAVE statements of a ZX BASIC program, so that a loader converted
// to tape loads its other parts from tape. Two forms are known: the drive form (d or D, a drive number, then the
// quoted name or a string variable) and the channel form (*"m";1; and three other spellings of drive 1 or 2).
// The bytes are replaced by spaces in place, so no length anywhere changes. The walk knows nothing of lines,
// strings or numbers: a LOAD or SAVE byte anywhere in the data counts as the keyword.
#pragma once

#include <cstdint>
#include <span>

namespace tape {

// Rewrites the program in place and returns the number of places changed (0 when none). Reads and writes only
// within `program`; a form cut off by the end of the data is left alone.
int rewrite_basic_loader(std::span<std::uint8_t> program);

} // namespace tape
