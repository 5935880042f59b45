// Fuzz target: the BASIC tokeniser. The first byte picks ZX or SAM BASIC (bit 0) and what the rest is (bit 1): the
// text of a program, or the stored text of one program line. Text that tokenises gives a program whose listing
// tokenises again to a program with the same listing; a line's bytes, listed, always tokenise, and to a program
// whose listing is the same text. A tokenised program's lines are sound: the walk lists them without damage.
#include "fuzz_support.h"

#include "basic/listing.h"
#include "basic/sam_listing.h"
#include "basic/tokenise.h"
#include "common/bytes.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

using basic::Machine;

basic::Listing list(const std::vector<std::uint8_t>& program, Machine machine)
{
    return machine == Machine::Sam ? basic::list_sam_program(program, program.size())
                                   : basic::list_program(program, program.size());
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// The listing of `program` tokenises, and to a program with the same listing.
void require_stable(const std::vector<std::uint8_t>& program, Machine machine)
{
    const basic::Listing first = list(program, machine);
    fuzz::require(!first.damage, "a tokenised program lists without damage");
    const auto again = basic::tokenise(joined(first.lines), machine);
    fuzz::require(std::holds_alternative<basic::Program>(again), "a listing tokenises");
    fuzz::require(list(std::get<basic::Program>(again).bytes, machine).lines == first.lines,
                  "the listing of a tokenised listing is the same text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size < 1)
        return 0;
    const Machine machine = (input[0] & 1) != 0 ? Machine::Sam : Machine::Zx;
    const std::span<const std::uint8_t> rest(input + 1, size - 1);
    if ((input[0] & 2) != 0) {
        const std::string text(rest.begin(), rest.end());
        const auto made = basic::tokenise(text, machine);
        if (const auto* program = std::get_if<basic::Program>(&made))
            require_stable(program->bytes, machine);
        return 0;
    }
    if (rest.size() + 1 > 0xFFFF)
        return 0;
    std::vector<std::uint8_t> program{0, 10};
    common::append_le16(program, static_cast<std::uint16_t>(rest.size() + 1));
    program.insert(program.end(), rest.begin(), rest.end());
    program.push_back(basic::ENTER);
    if (machine == Machine::Sam)
        program.push_back(basic::SAM_PROGRAM_END);
    require_stable(program, machine);
    return 0;
}
