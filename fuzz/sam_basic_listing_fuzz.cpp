// Fuzz target: the listing of a SAM BASIC program from arbitrary bytes. The input is the file length as the
// directory would give it (two bytes, low first) and then the data, copied into a buffer exactly as long as the
// data so that the address sanitizer sees any read past its end. Besides that it checks the listing's promises:
// plain printable text, a damage mark last and only with damage, damage inside the data, numbered lines of at most
// 65279, and, without damage, a program that ends at its end marker (nothing after it changes the listing).
#include "fuzz_support.h"

#include "basic/sam_listing.h"
#include "common/bytes.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::size_t LENGTH_FIELD = 2;

// Where the program of an undamaged listing ends: the offset of the line that starts with the end marker.
std::size_t end_marker_at(const std::vector<std::uint8_t>& data)
{
    std::size_t at = 0;
    while (data[at] != basic::SAM_PROGRAM_END)
        at += basic::LINE_HEADER + common::get_le16(data, at + 2);
    return at;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size < LENGTH_FIELD)
        return 0;
    const std::size_t length = common::get_le16(std::span(input, size), 0);
    const std::vector<std::uint8_t> data(input + LENGTH_FIELD, input + size);
    const basic::Listing listing = basic::list_sam_program(data, length);

    const auto& lines = listing.lines;
    fuzz::require(std::all_of(lines.begin(), lines.end(), fuzz::is_printable_line), "the listing is printable ASCII");
    const std::size_t listed = lines.size() - (listing.damage ? 1 : 0);
    fuzz::require(!listing.damage || (!lines.empty() && lines.back() == basic::damage_mark(*listing.damage)),
                  "damage ends the listing with its mark");
    fuzz::require(!listing.damage || listing.damage->offset <= data.size(), "damage lies within the data");
    for (std::size_t i = 0; i < listed; ++i) {
        const int number = fuzz::listed_line_number(lines[i]);
        fuzz::require(number >= 0 && number <= basic::SAM_MAX_LINE_NUMBER,
                      "every line listed has a number up to 65279");
    }
    if (!listing.damage) {
        fuzz::require(length <= data.size(), "a length past the data is damage");
        const std::size_t end = end_marker_at(data);
        fuzz::require(end < length, "an undamaged program ends at its marker");
        std::vector<std::uint8_t> program(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(end) + 1);
        fuzz::require(basic::list_sam_program(program, program.size()).lines == lines,
                      "bytes after the end marker are not listed");
    }
    return 0;
}
