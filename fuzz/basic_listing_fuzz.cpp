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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size < LENGTH_FIELD)
        return 0;
    const std::size_t program_length = common::get_le16(std::span(input, size), 0);
    const std::vector<std::uint8_t> data(input + LENGTH_FIELD, input + size);
    const basic::Listing listing = basic::list_program(data, program_length);

    const auto& lines = listing.lines;
    fuzz::require(std::all_of(lines.begin(), lines.end(), fuzz::is_printable_line), "the listing is printable ASCII");
    const std::size_t listed = lines.size() - (listing.damage ? 1 : 0);
    fuzz::require(!listing.damage || (!lines.empty() && lines.back() == basic::damage_mark(*listing.damage)),
                  "damage ends the listing with its mark");
    fuzz::require(!listing.damage || listing.damage->offset <= data.size(), "damage lies within the data");
    fuzz::require(listed <= data.size() / basic::LINE_HEADER + 1, "each line listed takes its header's bytes");
    for (std::size_t i = 0; i < listed; ++i) {
        const int number = fuzz::listed_line_number(lines[i]);
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
