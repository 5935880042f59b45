#include "fuzz_support.h"

#include "common/bytes.h"
#include "support/image_builder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include <unistd.h>

namespace fuzz {
namespace {

constexpr std::size_t MAX_EXTRA = 65536;
constexpr auto IMAGE_SIZE = static_cast<std::size_t>(image::IMAGE_BYTES);

// A deque keeps the paths handed out valid while more are added.
std::deque<std::string>& temp_files()
{
    static std::deque<std::string> files;
    return files;
}

void remove_temp_files()
{
    for (const std::string& path : temp_files())
        ::unlink(path.c_str());
}

// The same bytes in every process and run, so a kept input reproduces; xorshift needs no library state.
const std::vector<std::uint8_t>& fill_pattern()
{
    static const std::vector<std::uint8_t> pattern = [] {
        std::vector<std::uint8_t> bytes(IMAGE_SIZE + MAX_EXTRA);
        std::uint32_t state = 0x2545F491;
        for (std::uint8_t& b : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            b = static_cast<std::uint8_t>(state >> 24);
        }
        return bytes;
    }();
    return pattern;
}

std::size_t physical_offset(image::Layout layout, std::size_t disc_sector)
{
    const std::size_t per_side = DISC_SECTORS / image::SIDES;
    const std::size_t side = disc_sector / per_side;
    const std::size_t track = disc_sector % per_side / image::SECTORS_PER_TRACK;
    const auto track_byte = static_cast<std::uint8_t>(track | (side ? image::SIDE_BIT : 0));
    const auto index = static_cast<int>(disc_sector % image::SECTORS_PER_TRACK);
    return static_cast<std::size_t>(image::sector_offset(layout, track_byte, index));
}

} // namespace

void require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

const std::string& temp_path(std::string_view target, std::string_view suffix)
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/kestrel-fuzz-" + std::string(target) + "-" +
                       std::to_string(::getpid()) + std::string(suffix);
    auto& files = temp_files();
    const auto known = std::find(files.begin(), files.end(), path);
    if (known != files.end())
        return *known;
    if (files.empty())
        std::atexit(remove_temp_files);
    files.push_back(std::move(path));
    return files.back();
}

FuzzImage make_image(std::span<const std::uint8_t> input, std::string_view target, bool write_file)
{
    static std::vector<std::uint8_t> buffer(IMAGE_SIZE + MAX_EXTRA);
    FuzzImage result;
    result.selector = input.empty() ? 0 : input[0];
    const std::uint16_t param = input.size() >= INPUT_HEADER ? common::get_be16(input, SIZE_PARAM) : 0;
    const auto sectors = input.subspan(std::min(input.size(), INPUT_HEADER));
    const bool sequential = result.selector & selector::SEQUENTIAL;
    result.layout = sequential ? image::Layout::Sequential : image::Layout::Interleaved;
    result.path = temp_path(target, sequential ? ".img" : ".mgt");

    if (result.selector & selector::RANDOM_FILL)
        std::copy(fill_pattern().begin(), fill_pattern().end(), buffer.begin());
    else
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    for (std::size_t s = 0; s < DIRECTORY_SECTORS; ++s)
        std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(physical_offset(result.layout, s)), image::SECTOR_SIZE,
                    std::uint8_t{0});
    for (std::size_t s = 0; s < DISC_SECTORS && s * image::SECTOR_SIZE < sectors.size(); ++s) {
        const auto piece = sectors.subspan(s * image::SECTOR_SIZE)
                               .first(std::min(image::SECTOR_SIZE, sectors.size() - s * image::SECTOR_SIZE));
        std::copy(piece.begin(), piece.end(),
                  buffer.begin() + static_cast<std::ptrdiff_t>(physical_offset(result.layout, s)));
    }

    std::size_t size = IMAGE_SIZE;
    if ((result.selector & selector::SIZE_MASK) == selector::SHORT)
        size = param * SHORT_STEP % IMAGE_SIZE;
    else if ((result.selector & selector::SIZE_MASK) == selector::LONG)
        size = IMAGE_SIZE + 1 + param;
    result.bytes = std::span<const std::uint8_t>(buffer).first(size);
    if (write_file)
        testing_support::write_file(result.path, result.bytes);
    return result;
}

std::vector<std::uint8_t> encode_image(std::span<const std::uint8_t> image, image::Layout layout, std::size_t sectors,
                                       std::uint8_t selector_bits)
{
    std::vector<std::uint8_t> input(INPUT_HEADER, 0);
    input[0] = static_cast<std::uint8_t>((selector_bits & ~selector::SEQUENTIAL) |
                                         (layout == image::Layout::Sequential ? selector::SEQUENTIAL : 0));
    for (std::size_t s = 0; s < std::min(sectors, DISC_SECTORS); ++s) {
        const auto sector = image.subspan(physical_offset(layout, s), image::SECTOR_SIZE);
        input.insert(input.end(), sector.begin(), sector.end());
    }
    return input;
}

void check_disc(image::MemoryDisc& disc)
{
    require(disc.findings().size() <= static_cast<std::size_t>(image::SIDES * image::TRACKS_PER_SIDE) + 1,
            "at most one finding per track and one more");
    std::array<std::uint8_t, image::SECTOR_SIZE> sector{};
    for (int track_byte = 0; track_byte <= 0xFF; ++track_byte) {
        for (int index = 0; index < image::SECTORS_PER_TRACK; ++index) {
            sector.fill(0xA5);
            const image::SectorStatus status = disc.read_sector(static_cast<std::uint8_t>(track_byte), index, sector);
            if (status != image::SectorStatus::Ok)
                require(std::all_of(sector.begin(), sector.end(), [](std::uint8_t b) { return b == 0; }),
                        "a sector that is not Ok reads as zeros");
        }
    }
}

image::OpenImage open_image(const FuzzImage& img)
{
    auto opened = image::open_one_image(img.path);
    require(std::holds_alternative<image::OpenImage>(opened), "an existing image opens");
    return std::get<image::OpenImage>(std::move(opened));
}

bool is_printable_line(const std::string& line)
{
    constexpr char FIRST_PRINTABLE = 0x20;
    constexpr char LAST_PRINTABLE = 0x7E;
    return std::all_of(line.begin(), line.end(), [](char c) { return c >= FIRST_PRINTABLE && c <= LAST_PRINTABLE; });
}

int listed_line_number(const std::string& line)
{
    constexpr std::size_t NUMBER_COLUMNS = 5;
    if (line.size() < NUMBER_COLUMNS)
        return -1;
    const std::string columns = line.substr(0, NUMBER_COLUMNS);
    const auto digits = columns.find_first_not_of(' ');
    if (digits == std::string::npos || !std::all_of(columns.begin() + static_cast<std::ptrdiff_t>(digits),
                                                    columns.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(columns.substr(digits));
}

} // namespace fuzz
