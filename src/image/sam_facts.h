// What a SAM file's directory entry says beyond its start and length: the execution address of code, the auto-run
// line of a program, the name of an array, the mode of a screen, whether MasterBASIC saved the data packed, and
// the time stamp MasterDOS (or BDOS) keeps. The entry copies the ROM's file information from byte 220 on: flags at
// 220 (bits 2-3 the save mode: 1 packed by bytes, 3 packed by nibbles), the array's name length (low four bits)
// and name at 221-231 or the screen mode less one at 221, the execution address (page, then offset) or the
// auto-run line (a zero byte, then the number) at 242-244, 0xFF for none, and the time stamp at 245-249: day,
// month, year (from 1900, below 80 from 2000), hour, minute; BDOS 1.7 marks its own packing with bit 7 of the
// month and keeps seconds. A day of 0xFF, or a date that cannot be, is no time stamp.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace image {

struct Timestamp
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

inline constexpr int SAVE_PACKED_BY_BYTES = 2;
inline constexpr int SAVE_PACKED_BY_NIBBLES = 3;

struct SamFacts
{
    std::optional<std::int32_t> execute; // SAM Code
    std::optional<int> autorun_line;     // SAM Basic
    std::string array_name;              // SAM NumArray and SAM $Array, as the entry keeps it
    std::optional<int> screen_mode;      // SAM Screen: 1-4
    bool packed = false;                 // saved in one of MasterBASIC's packed modes
    int save_mode = 0;                   // that mode: 2 bytes, 3 nibbles (screens), 0 plain
    std::optional<Timestamp> time;
};

// The nine-byte header a SAM file's data starts with, which entry bytes 211-219 copy: the type, the length modulo
// 16 KiB, the offset within the start page (kept as an address in section C), two unused bytes (0xFF, as SAMDOS
// leaves them), the number of whole pages and the start page.
struct SamFileHeader
{
    std::uint8_t type = 0;
    std::uint16_t length_modulo = 0;
    std::uint16_t offset = 0;
    std::uint8_t pages = 0;
    std::uint8_t start_page = 0;
};

// Writes the header into the first nine bytes of `out`.
void put_sam_file_header(std::span<std::uint8_t> out, const SamFileHeader& header);

// The facts of an entry of type `code` (16 or more) from its 256 bytes.
SamFacts decode_sam_facts(std::span<const std::uint8_t> entry_bytes, int code);

// The facts in words for a person, joined by "; " ("execution address 32768; saved 1993-12-05 23:48"); "" for
// none.
std::string sam_facts_text(const SamFacts& facts);

// "1993-12-05 23:48" (and ":SS" when the seconds are not zero).
std::string timestamp_text(const Timestamp& time);

} // namespace image
