// Disc-image files that stand in for a floppy drive in tests, made and judged with libdsk and its dsktrans tool.
#pragma once

#include "transfer/disc_transfer.h"

#include <filesystem>
#include <span>
#include <string>

namespace testing_support {

// Copies the image `from` (libdsk driver `from_driver`) into `to` with dsktrans and the mgt800 geometry; false
// when dsktrans failed or is not installed.
bool dsktrans(const std::filesystem::path& from, const std::string& from_driver, const std::filesystem::path& to,
              const std::string& to_driver);

// Makes an EDSK file of `disc` (.mgt layout) whose track `missing` lacks the sector `missing.sector`, as on a disc
// where the sector's header cannot be found. Throws on failure.
void write_damaged_edsk(const std::filesystem::path& path, std::span<const std::uint8_t> disc,
                        const transfer::DriveSectorAddress& missing);

} // namespace testing_support
