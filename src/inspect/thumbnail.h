// Small pictures of a disc for file managers: the disc's first screen (a ZX screen of 6,912 bytes or a SAM
// Screen, in directory order, the first that decodes) or, for a disc without one, a picture of its catalogue, a
// bar per file; scaled to fit a square of the size asked. Only the directory and the one screen file are read.
#pragma once

#include "image/directory.h"
#include "image/sector_source.h"
#include "inspect/sam_screen.h"

#include <optional>

namespace inspect {

using Picture = SamPicture;

// The largest thumbnail drawn: freedesktop's largest size.
inline constexpr int MAX_THUMBNAIL_SIZE = 1024;

// The picture scaled to fit size x size, keeping its proportions (each side at least one pixel); each pixel is the
// average of the area of the picture it covers, so a scale by a whole factor either way keeps colours exact.
Picture fit_picture(const Picture& picture, int size);

// The first screen of the catalogue that decodes, at its own size (as `kestrel-cli screen` draws it); std::nullopt
// for a disc without one.
std::optional<Picture> first_screen(image::SectorSource& disc, const image::Catalogue& catalogue);

// A 256 x 192 picture of the catalogue: a bar per file, down then across, as long as the file's sectors against
// the largest file's and coloured by its kind (BASIC blue, code red, screens magenta, arrays green, snapshots
// cyan, others black).
Picture catalogue_picture(const image::Catalogue& catalogue);

// The thumbnail of a disc: its first screen, or its catalogue's picture, fitted to `size`.
Picture thumbnail(image::SectorSource& disc, int size);

} // namespace inspect
