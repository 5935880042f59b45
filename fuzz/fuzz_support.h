// What the fuzz targets share: the turn of fuzzer bytes into a disc image file, its inverse for the seed
// generator, and one temporary file per target and process. Images are read through the same file source as the
// program's, so each run writes the image to the same file, reused across runs and removed at exit.
//
// An image input is a selector byte, a two-byte size parameter (high byte first) and then the image's sectors in
// disc order: side 0 tracks 0-79, then side 1, sectors 1-10 of each track, 512 bytes each, placed by the layout's
// geometry. The first 20,480 bytes after the three header bytes are thus the directory, and the next ones the
// first data sectors, so short inputs reach the chains. Directory sectors the input does not reach are zero; data
// sectors it does not reach are zero or a fixed pseudo-random pattern, as the selector says.
#pragma once

#include "image/container.h"
#include "image/directory.h"
#include "image/geometry.h"
#include "image/sector_source.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

namespace selector {
inline constexpr std::uint8_t SEQUENTIAL = 0x01; // .img, side after side; otherwise .mgt, cylinder by cylinder
inline constexpr std::uint8_t SIZE_MASK = 0x06;
inline constexpr std::uint8_t SHORT = 0x04; // shorter than 819,200 bytes by the size parameter
inline constexpr std::uint8_t LONG = 0x06;  // longer by 1 to 65,536 bytes; other values: exactly 819,200
inline constexpr std::uint8_t RANDOM_FILL = 0x08;
inline constexpr std::uint8_t OPTION = 0x10; // left to the target (tape conversion: blank disc syntax)
} // namespace selector

inline constexpr std::size_t INPUT_HEADER = 3;
inline constexpr std::size_t SIZE_PARAM = 1;
// A short image is this many bytes per unit of the size parameter (taken modulo 819,200): a number prime to 512
// lets the cut fall anywhere in a sector.
inline constexpr std::size_t SHORT_STEP = 13;
inline constexpr std::size_t DISC_SECTORS = image::SIDES * image::TRACKS_PER_SIDE * image::SECTORS_PER_TRACK;
inline constexpr std::size_t DIRECTORY_SECTORS = image::DIRECTORY_TRACKS * image::SECTORS_PER_TRACK;

// Whether a listing line holds only printable ASCII.
bool is_printable_line(const std::string& line);

// The line number in a listing line's first five columns, or -1 when they do not hold one.
int listed_line_number(const std::string& line);

// Stops the process so that libFuzzer keeps the input, naming the broken invariant.
void require(bool holds, const char* what);

// Reads every sector of a decoded disc: one that is not Ok must read as zeros, and the findings stay within one
// line per track and one more.
void check_disc(image::MemoryDisc& disc);

// A path in $TMPDIR (or /tmp) private to this process, with the given file name suffix; removed at exit.
const std::string& temp_path(std::string_view target, std::string_view suffix);

struct FuzzImage
{
    std::string path;
    image::Layout layout;
    std::uint8_t selector = 0;
    std::span<const std::uint8_t> bytes; // as written; valid until the next make_image
};

// Builds the image an input describes and writes it to the target's temporary .mgt or .img file (unless
// `write_file` is false: a target that reads the bytes from memory skips the write).
FuzzImage make_image(std::span<const std::uint8_t> input, std::string_view target, bool write_file = true);

// The image file opened as the program opens it; stops the process if it does not open.
image::OpenImage open_image(const FuzzImage& img);

// The input that make_image turns back into `image` (819,200 bytes in `layout`) when the image's data sectors
// after the first `sectors` in disc order are zero; the selector's layout bit is taken from `layout`.
std::vector<std::uint8_t> encode_image(std::span<const std::uint8_t> image, image::Layout layout, std::size_t sectors,
                                       std::uint8_t selector_bits);

} // namespace fuzz
