// Fuzz target: the BASIC loader rewrite on arbitrary data, in a buffer exactly as long as the data so that the
// address sanitizer sees any read or write past its end. Besides that it checks the rewrite's promises: bytes only
// ever become blanks, nothing changes when nothing is counted, and every change counted starts at its own LOAD or
// SAVE byte. The search for +D syntax left after the rewrite runs on the same bytes.
#include "fuzz_support.h"

#include "tape/basic_rewrite.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::uint8_t BLANK = 0x20;
constexpr std::uint8_t LOAD = 0xEF;
constexpr std::uint8_t SAVE = 0xF8;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> before(data, data + size);
    std::vector<std::uint8_t> program = before;
    const int count = tape::rewrite_basic_loader(program);

    fuzz::require(program.size() == before.size(), "the length never changes");
    for (std::size_t i = 0; i < size; ++i)
        fuzz::require(program[i] == before[i] || program[i] == BLANK, "bytes only ever change into blanks");
    fuzz::require(count > 0 || program == before, "nothing changes when nothing is counted");
    const auto keywords =
        std::count_if(before.begin(), before.end(), [](std::uint8_t b) { return b == LOAD || b == SAVE; });
    fuzz::require(count >= 0 && count <= keywords, "each change counted has its own keyword");

    // The search for +D syntax the rewrite leaves reads the same bytes, line by line.
    for (const tape::DiscOnlyStatement& found : tape::find_disc_only_syntax(before))
        fuzz::require(found.line <= 9999 && found.statement >= 1 && !found.what.empty(), "findings name a statement");
    return 0;
}
