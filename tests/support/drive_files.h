// Disc-image files that stand in for a floppy drive in tests, made and checked with libdsk and its dsktrans tool,
// which know the drive formats independently of this program.
#pragma once

#include "transfer/disc_transfer.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace testing_support {

// Whether dsktrans (libdsk-utils) can be run.
bool has_dsktrans();

// Runs dsktrans to copy the image `from` (libdsk driver `from_driver`) into `to` (driver `to_driver`) with the
// mgt800 geometry; true when it succeeded.
bool dsktrans(const std::filesystem::path& from, const std::string& from_driver, const std::filesystem::path& to,
              const std::string& to_driver);

// Makes an EDSK file holding `disc` (819,200 bytes, .mgt layout) in which track `missing.track` on side
// `missing.side` lacks sector `missing.sector`, as on a disc whose sector header cannot be found. Throws on failure.
void write_damaged_edsk(const std::filesystem::path& path, std::span<const std::uint8_t> disc,
                        const transfer::SectorAddress& missing);

} // namespace testing_support
