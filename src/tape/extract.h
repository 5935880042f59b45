// Extraction of one ZX file from a disc image along its sector chain, into the program's data buffer, with the
// tape header that the tape writer puts in front of it. Only the five ZX types with a tape form yield data:
// 1 Basic, 2 number array, 3 character array, 4 code, 7 screen.
#pragma once

#include "image/geometry.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tape {

inline constexpr std::size_t WORK_BUFFER_SIZE = 1'000'000;
inline constexpr std::size_t DATA_BUFFER_SIZE = 1'000'000;
inline constexpr std::size_t TAPE_HEADER_SIZE = 18; // flag byte + 17-byte ZX tape header

// Offsets within the tape header record.
namespace header {
inline constexpr std::size_t FLAG = 0;
inline constexpr std::size_t TYPE = 1;
inline constexpr std::size_t NAME = 2;
inline constexpr std::size_t NAME_LEN = 10;
inline constexpr std::size_t LENGTH = 12;
inline constexpr std::size_t PARAM1 = 14;
inline constexpr std::size_t PARAM2 = 16;
} // namespace header

// Tape types in the header record.
inline constexpr std::uint8_t TAPE_PROGRAM = 0;
inline constexpr std::uint8_t TAPE_NUMBER_ARRAY = 1;
inline constexpr std::uint8_t TAPE_CHARACTER_ARRAY = 2;
inline constexpr std::uint8_t TAPE_BYTES = 3;

using TapeHeader = std::array<std::uint8_t, TAPE_HEADER_SIZE>;

// The program-lifetime blocks of extraction: allocated and zero-filled once, reused by every extraction.
struct Workspace
{
    std::vector<std::uint8_t> work = std::vector<std::uint8_t>(WORK_BUFFER_SIZE, 0);
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(DATA_BUFFER_SIZE, 0);
    TapeHeader header{};
};

// Fills the tape header record from a 256-byte directory entry.
void fill_tape_header(std::span<const std::uint8_t> entry, TapeHeader& header);

// Extracts the file of a directory slot (0-79) into ws.data and fills ws.header. Returns the data length, or 0
// when nothing was extracted (image not readable, free slot, type without a tape form, length 0); on 0 the data
// buffer is unchanged.
std::int32_t extract_file(const std::string& image_path, image::Layout layout, int slot, Workspace& ws);

} // namespace tape
