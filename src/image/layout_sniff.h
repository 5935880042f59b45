// The layout of a raw image told by its content, for an image whose name may say the wrong one (an interleaved disc
// renamed .img, as some Gotek guides advise). Track 0 side 0 lies at the same place in both layouts, so the
// directory's first sector reads alike; its two entries say where their files' first sectors are, and those lie
// at different places in the two layouts. A layout is chosen when, in it and not in the other, such a first sector
// starts with the file's own header (the copy in the entry's bytes 211-219, or the length and start fields the
// integrity scan compares) and links on to a sector of a disc; this is the test mgtdisklib's Image makes, widened to
// both entries and both layouts. Anything else (no file, a file on track 0, both or neither layout fitting) is no
// answer, and the name's layout stands.
#pragma once

#include "image/geometry.h"
#include "image/sector_source.h"

#include <optional>
#include <string>

namespace image {

// The layout the content of a raw image of 819,200 bytes shows clearly; nullopt when it shows none.
std::optional<Layout> layout_by_content(ByteSource& bytes);

// The note that the content's layout was taken rather than the name's.
std::string layout_note(Layout by_content);

} // namespace image
