#include "image/sam_facts.h"

#include "common/bytes.h"
#include "image/file_types.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>

namespace image {
namespace {

namespace at {
constexpr std::size_t FLAGS = 220;
constexpr std::size_t INFO = 221; // array name length or screen mode
constexpr std::size_t ARRAY_NAME = 222;
constexpr std::size_t EXECUTE = 242; // page (0xFF none) or, for a program, 0 and the line
constexpr std::size_t TIME = 245;
} // namespace at

constexpr std::size_t ARRAY_NAME_MAX = 10;
constexpr std::uint8_t NAME_LENGTH_BITS = 0x0F;
constexpr std::uint8_t SCREEN_MODE_BITS = 0x03;
constexpr unsigned SAVE_MODE_SHIFT = 2;
constexpr std::uint8_t SAVE_MODE_BITS = 0x03;
constexpr std::array<int, 4> SAVE_MODES = {0, 2, 0, 3};
constexpr std::uint8_t NONE = 0xFF;
constexpr std::uint8_t NO_LINE_BITS = 0xC0; // MasterDOS lists no auto-run line when either is set
constexpr std::uint8_t PAGE_BITS = 0x1F;
constexpr std::int32_t PAGE_BYTES = 16384;
constexpr std::uint16_t OFFSET_BITS = 0x3FFF;
constexpr std::uint8_t BDOS17_MONTH = 0x80;

bool is_date(int year, int month, int day)
{
    constexpr std::array<int, 12> days = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > days[static_cast<std::size_t>(month - 1)])
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month != 2 || day < 29 || leap;
}

std::optional<Timestamp> decode_time(std::span<const std::uint8_t> b)
{
    if (b[0] == NONE)
        return std::nullopt;
    Timestamp t;
    if (b[1] & BDOS17_MONTH) {
        t = {b[2],
             (b[1] & 0x78) >> 3,
             b[0],
             (b[3] & 0xF8) >> 3,
             ((b[4] & 0xE0) >> 2) | (b[3] & 0x07),
             (b[4] & 0x1F) << 1};
    } else {
        t = {b[2], b[1], b[0], b[3], b[4], 0};
    }
    t.year += t.year < 80 ? 2000 : 1900;
    if (!is_date(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

} // namespace

SamFacts decode_sam_facts(std::span<const std::uint8_t> e, int code)
{
    assert(e.size() > at::TIME + 4);
    SamFacts facts;
    facts.save_mode = SAVE_MODES[(e[at::FLAGS] >> SAVE_MODE_SHIFT) & SAVE_MODE_BITS];
    const std::uint8_t lead = e[at::EXECUTE];
    const std::uint16_t word = common::get_le16(e, at::EXECUTE + 1);
    if (code == TYPE_SAM_CODE && lead != NONE)
        facts.execute = (lead & PAGE_BITS) * PAGE_BYTES + (word & OFFSET_BITS);
    if (code == TYPE_SAM_BASIC && (lead & NO_LINE_BITS) == 0)
        facts.autorun_line = word;
    if (code == TYPE_SAM_NUMBER_ARRAY || code == TYPE_SAM_STRING_ARRAY) {
        const std::size_t length = std::min<std::size_t>(e[at::INFO] & NAME_LENGTH_BITS, ARRAY_NAME_MAX);
        facts.array_name.assign(e.begin() + static_cast<std::ptrdiff_t>(at::ARRAY_NAME),
                                e.begin() + static_cast<std::ptrdiff_t>(at::ARRAY_NAME + length));
    }
    if (code == TYPE_SAM_SCREEN)
        facts.screen_mode = 1 + (e[at::INFO] & SCREEN_MODE_BITS);
    const bool has_data = code >= TYPE_SAM_BASIC && code <= TYPE_SAM_SCREEN;
    facts.packed = has_data && (facts.save_mode == 2 || (facts.save_mode == 3 && facts.screen_mode));
    facts.time = decode_time(e.subspan(at::TIME, 5));
    return facts;
}

std::string sam_facts_text(const SamFacts& facts)
{
    std::string text;
    const auto add = [&](const std::string& piece) {
        text += (text.empty() ? "" : "; ") + piece;
    };
    if (facts.execute)
        add("execution address " + std::to_string(*facts.execute));
    if (facts.autorun_line)
        add("auto-run line " + std::to_string(*facts.autorun_line));
    if (!facts.array_name.empty())
        add("array " + facts.array_name);
    if (facts.screen_mode)
        add("MODE " + std::to_string(*facts.screen_mode));
    if (facts.packed)
        add("saved packed by MasterBASIC");
    if (facts.time)
        add("saved " + timestamp_text(*facts.time));
    return text;
}

std::string timestamp_text(const Timestamp& t)
{
    char text[32];
    if (t.second != 0)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return text;
}

void put_sam_file_header(std::span<std::uint8_t> out, const SamFileHeader& header)
{
    constexpr std::uint16_t UNUSED = 0xFFFF;
    out[0] = header.type;
    common::put_le16(out, 1, header.length_modulo);
    common::put_le16(out, 3, header.offset);
    common::put_le16(out, 5, UNUSED);
    out[7] = header.pages;
    out[8] = header.start_page;
}

} // namespace image
