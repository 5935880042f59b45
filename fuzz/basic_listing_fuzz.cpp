// Fuzz target: the listing of a ZX BASIC program from arbitrary bytes. The input is the program length as the tape
// header holds it (two bytes, low first) and then the data, copied into a buffer exactly as long as the data so
// that the address sanitizer sees any read past its end. Besides that it checks the listing's promises: plain
// printable text, a damage mark last and only with damage, damage inside the data, numbered lines of at most
// 9999 when undamaged, and a listing that ignores everything after the program length.
#include "fuzz_support.h"

#include "basic/listing.h"
#include "common/bytes.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::size_t LENGTH_FIELD = 2;
constexpr std::size_t NUMBER_COLUMNS = 5;
constexpr char FIRST_PRINTABLE = 0x20;
constexpr char LAST_PRINTABLE = 0x7E;

bool is_printable(const std::string& line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c >= FIRST_PRINTABLE && c <= LAST_PRINTABLE; });
}

// The line number in the first five columns, or -1 when they do not hold one.
int number_of(const std::string& line)
{
    if (line.size() < NUMBER_COLUMNS)
        return -1;
    const std::string columns = line.substr(0, NUMBER_COLUMNS);
    const auto digits = columns.find_first_not_of(' ');
    if (digits == std::string::npos || !std::all_of(columns.begin() + static_cast<std::ptrdiff_t>(digits),
                                                    columns.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(columns.substr(digits));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size < LENGTH_FIELD)
        return 0;
    const std::size_t program_length = common::get_le16(std::span(input, size), 0);
    const std::vector<std::uint8_t> data(input + LENGTH_FIELD, input + size);
    const basic::Listing listing = basic::list_program(data, program_length);

    const auto& lines = listing.lines;
    fuzz::require(std::all_of(lines.begin(), lines.end(), is_printable), "the listing is printable ASCII");
    const std::size_t listed = lines.size() - (listing.damage ? 1 : 0);
    fuzz::require(!listing.damage || (!lines.empty() && lines.back() == basic::damage_mark(*listing.damage)),
                  "damage ends the listing with its mark");
    fuzz::require(!listing.damage || listing.damage->offset <= data.size(), "damage lies within the data");
    fuzz::require(listed <= data.size() / basic::LINE_HEADER + 1, "each line listed takes its header's bytes");
    for (std::size_t i = 0; i < listed; ++i) {
        const int number = number_of(lines[i]);
        fuzz::require(number >= 0 && number <= basic::MAX_LINE_NUMBER, "every line listed has a number up to 16383");
    }
    if (!listing.damage) {
        fuzz::require(program_length <= data.size(), "a program length past the data is damage");
        const std::vector<std::uint8_t> program(data.begin(),
                                                data.begin() + static_cast<std::ptrdiff_t>(program_length));
        fuzz::require(basic::list_program(program, program_length).lines == lines,
                      "bytes after the program length are not listed");
    }
    return 0;
}
