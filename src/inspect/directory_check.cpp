#include "inspect/directory_check.h"

#include <array>

namespace inspect {
namespace {

constexpr int DATA_SECTORS = image::SIDES * image::TRACKS_PER_SIDE * image::SECTORS_PER_TRACK -
                             image::DIRECTORY_TRACKS * image::SECTORS_PER_TRACK;
constexpr int MIN_FAILING = 3;

enum Check : std::size_t
{
    TYPE,
    SECTOR_COUNT,
    TRACK_RANGE,
    SECTOR_NUMBER,
    CHECKS,
};
constexpr std::array<const char*, CHECKS> CHECK_NAMES = {"type", "sector count", "track range", "sector number"};

std::array<bool, CHECKS> failed_checks(const image::CatalogueRow& row)
{
    std::array<bool, CHECKS> failed{};
    const image::FileType& type = image::file_type(row.type_code);
    failed[TYPE] = type.name.empty() && !type.subdirectory;
    if (type.subdirectory)
        return failed;
    failed[SECTOR_COUNT] = row.sectors == 0 || row.sectors > DATA_SECTORS;
    const int track = row.start_track & image::TRACK_MASK;
    const bool side_0 = (row.start_track & image::SIDE_BIT) == 0;
    failed[TRACK_RANGE] = track >= image::TRACKS_PER_SIDE || (side_0 && track < image::DIRECTORY_TRACKS);
    failed[SECTOR_NUMBER] = row.start_sector < 1 || row.start_sector > image::SECTORS_PER_TRACK;
    return failed;
}

} // namespace

std::optional<std::string> foreign_directory_reason(const image::Catalogue& rows)
{
    int failing = 0;
    std::array<bool, CHECKS> any{};
    for (const image::CatalogueRow& row : rows) {
        const auto failed = failed_checks(row);
        bool fails = false;
        for (std::size_t c = 0; c < CHECKS; ++c) {
            any[c] = any[c] || failed[c];
            fails = fails || failed[c];
        }
        failing += fails ? 1 : 0;
    }
    if (failing < MIN_FAILING || failing * 2 <= static_cast<int>(rows.size()))
        return std::nullopt;
    std::string checks;
    for (std::size_t c = 0; c < CHECKS; ++c) {
        if (any[c])
            checks += (checks.empty() ? "" : ", ") + std::string(CHECK_NAMES[c]);
    }
    return "most used entries fail basic checks: " + checks;
}

} // namespace inspect
