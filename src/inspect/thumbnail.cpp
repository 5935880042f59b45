#include "inspect/thumbnail.h"

#include "image/file_types.h"
#include "inspect/slot_screen.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace inspect {
namespace {

// One source pixel's share of a target pixel along one axis.
struct Share
{
    int source = 0;
    std::uint64_t weight = 0;
};

// The target pixels of an axis of `from` pixels scaled to `to`, each with the source pixels it covers. Target
// pixel t covers [t * from, (t + 1) * from) and source pixel s covers [s * to, (s + 1) * to), in units of
// 1 / to of a source pixel; the weights of a target pixel add up to `from`.
std::vector<std::vector<Share>> axis_shares(int from, int to)
{
    std::vector<std::vector<Share>> shares(static_cast<std::size_t>(to));
    for (int t = 0; t < to; ++t) {
        const std::int64_t begin = std::int64_t{t} * from;
        const std::int64_t end = begin + from;
        for (auto s = static_cast<int>(begin / to); s < from && std::int64_t{s} * to < end; ++s) {
            const std::int64_t overlap =
                std::min(end, std::int64_t{s + 1} * to) - std::max(begin, std::int64_t{s} * to);
            if (overlap > 0)
                shares[static_cast<std::size_t>(t)].push_back({s, static_cast<std::uint64_t>(overlap)});
        }
    }
    return shares;
}

constexpr int CHANNELS = 3;
constexpr int CHANNEL_BITS = 8;
constexpr std::uint32_t CHANNEL_MASK = 0xFF;

// The catalogue's picture: a bar for each file, down columns; the canvas is the size of a ZX screen.
constexpr int BAR_HEIGHT = 8;
constexpr int BAR_PITCH = 10;
constexpr int MARGIN = 6;
constexpr int ROWS_PER_COLUMN = (SCREEN_HEIGHT - 2 * MARGIN) / BAR_PITCH;
constexpr int MIN_BAR = 4;
// A MasterDOS disc lists up to 780 files: those beyond these columns are not drawn.
constexpr int MAX_COLUMNS = 8;

// ZX palette entries: the colours in the ROM's order, their bright forms 8 on.
enum Colour : std::size_t
{
    BLACK,
    BLUE,
    RED,
    MAGENTA,
    GREEN,
    CYAN,
    BRIGHT_WHITE = 15
};

std::size_t colour_of(const image::CatalogueRow& row)
{
    const image::FileType& type = image::file_type(row.type_code);
    if (row.type_code == image::TYPE_SAM_SCREEN || (type.tape && image::is_screen(row)))
        return MAGENTA;
    if (type.snapshot)
        return CYAN;
    switch (row.type_code) {
    case image::TYPE_ZX_BASIC:
    case image::TYPE_SAM_BASIC:
        return BLUE;
    case image::TYPE_ZX_CODE:
    case image::TYPE_SAM_CODE:
        return RED;
    case image::TYPE_ZX_NUMBER_ARRAY:
    case image::TYPE_ZX_STRING_ARRAY:
        return GREEN;
    default:
        return BLACK;
    }
}

void fill(Picture& picture, int x, int y, int width, int height, Pixel colour)
{
    for (int row = y; row < y + height; ++row) {
        const auto at = static_cast<std::size_t>(row) * static_cast<std::size_t>(picture.width);
        std::fill_n(picture.pixels.begin() + static_cast<std::ptrdiff_t>(at + static_cast<std::size_t>(x)), width,
                    colour);
    }
}

} // namespace

Picture fit_picture(const Picture& picture, int size)
{
    const int longer = std::max(picture.width, picture.height);
    Picture fitted;
    fitted.width = std::max(1, static_cast<int>(std::int64_t{picture.width} * size / longer));
    fitted.height = std::max(1, static_cast<int>(std::int64_t{picture.height} * size / longer));
    fitted.pixels.resize(static_cast<std::size_t>(fitted.width) * static_cast<std::size_t>(fitted.height));
    const auto across = axis_shares(picture.width, fitted.width);
    const auto down = axis_shares(picture.height, fitted.height);
    const auto total = static_cast<std::uint64_t>(picture.width) * static_cast<std::uint64_t>(picture.height);
    auto target = fitted.pixels.begin();
    for (const auto& rows : down) {
        for (const auto& columns : across) {
            std::array<std::uint64_t, CHANNELS> sums = {};
            for (const Share& row : rows) {
                const auto line = static_cast<std::size_t>(row.source) * static_cast<std::size_t>(picture.width);
                for (const Share& column : columns) {
                    const Pixel pixel = picture.pixels[line + static_cast<std::size_t>(column.source)];
                    for (int c = 0; c < CHANNELS; ++c)
                        sums[static_cast<std::size_t>(c)] +=
                            ((pixel >> (c * CHANNEL_BITS)) & CHANNEL_MASK) * row.weight * column.weight;
                }
            }
            Pixel averaged = 0;
            for (int c = 0; c < CHANNELS; ++c)
                averaged |= static_cast<Pixel>((sums[static_cast<std::size_t>(c)] + total / 2) / total)
                            << (c * CHANNEL_BITS);
            *target++ = averaged;
        }
    }
    return fitted;
}

std::optional<Picture> first_screen(image::SectorSource& disc, const image::Catalogue& catalogue)
{
    for (const image::CatalogueRow& row : catalogue) {
        if (row.type_code == image::TYPE_SAM_SCREEN) {
            auto sam = read_slot_sam_screen(disc, row.slot);
            if (auto* screen = std::get_if<SlotSamScreen>(&sam))
                return std::move(screen->picture);
        } else if (image::has_tape_form(row.type_code) && image::is_screen(row)) {
            if (const auto screen = read_slot_screen(disc, row.slot)) {
                Picture picture{SCREEN_WIDTH, SCREEN_HEIGHT, std::vector<Pixel>(SCREEN_PIXELS)};
                decode_screen(zx_palette(), screen->bytes, picture.pixels);
                return picture;
            }
        }
    }
    return std::nullopt;
}

Picture catalogue_picture(const image::Catalogue& catalogue)
{
    const Palette palette = zx_palette();
    Picture picture{SCREEN_WIDTH, SCREEN_HEIGHT, std::vector<Pixel>(SCREEN_PIXELS, palette[BRIGHT_WHITE])};
    // A frame, as a disc label has.
    fill(picture, 0, 0, SCREEN_WIDTH, 1, palette[BLACK]);
    fill(picture, 0, SCREEN_HEIGHT - 1, SCREEN_WIDTH, 1, palette[BLACK]);
    fill(picture, 0, 0, 1, SCREEN_HEIGHT, palette[BLACK]);
    fill(picture, SCREEN_WIDTH - 1, 0, 1, SCREEN_HEIGHT, palette[BLACK]);
    if (catalogue.empty())
        return picture;
    const int count = std::min(static_cast<int>(catalogue.size()), ROWS_PER_COLUMN * MAX_COLUMNS);
    const int columns = (count + ROWS_PER_COLUMN - 1) / ROWS_PER_COLUMN;
    const int column_width = (SCREEN_WIDTH - MARGIN) / columns;
    const int longest = column_width - MARGIN;
    std::int64_t most = 1;
    for (const image::CatalogueRow& row : catalogue)
        most = std::max<std::int64_t>(most, row.sectors);
    for (int at = 0; at < count; ++at) {
        const image::CatalogueRow& row = catalogue[static_cast<std::size_t>(at)];
        const std::int64_t sectors = std::clamp<std::int64_t>(row.sectors, 0, most);
        const int length = std::max(MIN_BAR, static_cast<int>(sectors * longest / most));
        fill(picture, MARGIN + (at / ROWS_PER_COLUMN) * column_width, MARGIN + (at % ROWS_PER_COLUMN) * BAR_PITCH,
             std::min(length, longest), BAR_HEIGHT, palette[colour_of(row)]);
    }
    return picture;
}

Picture thumbnail(image::SectorSource& disc, int size)
{
    const image::Catalogue catalogue = image::read_directory(disc);
    auto screen = first_screen(disc, catalogue);
    return fit_picture(screen ? *screen : catalogue_picture(catalogue), size);
}

} // namespace inspect
