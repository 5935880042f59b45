// The listing of a 40 KB ZX BASIC program of ordinary lines (keywords, numbers with their hidden five bytes,
// strings with colour codes), against the loader rewrite over the same bytes: one plain pass over the data.
#include "basic/listing.h"
#include "common/bytes.h"
#include "tape/basic_rewrite.h"

#include <benchmark/benchmark.h>

#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t PROGRAM_BYTES = 40 * 1024;
constexpr std::uint16_t LINE_STEP = 1;

void append(Bytes& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}

// 100 as BASIC stores it: the digits, then 0x0E and the five-byte small integer form.
void append_number(Bytes& out)
{
    append(out, "100");
    out.insert(out.end(), {0x0E, 0x00, 0x00, 100, 0x00, 0x00});
}

// PRINT AT 100,100; INK 100;"\{INK 2}Hello, world":LET a=a+100: IF a>100 THEN GO TO 100
Bytes typical_line_text()
{
    Bytes text = {0xF5, 0xAC};
    append_number(text);
    text.push_back(',');
    append_number(text);
    text.insert(text.end(), {';', 0xD9});
    append_number(text);
    text.insert(text.end(), {';', '"', 0x10, 2});
    append(text, "Hello, world\":");
    text.push_back(0xF1);
    append(text, "a=a+");
    append_number(text);
    text.insert(text.end(), {':', 0xFA});
    append(text, "a>");
    append_number(text);
    text.insert(text.end(), {0xCB, 0xEC});
    append_number(text);
    return text;
}

Bytes program_of_40k()
{
    const Bytes text = typical_line_text();
    Bytes program;
    for (std::uint16_t number = 1; program.size() + text.size() + basic::LINE_HEADER <= PROGRAM_BYTES;
         number = static_cast<std::uint16_t>(number + LINE_STEP)) {
        program.insert(program.end(), {static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)});
        common::append_le16(program, static_cast<std::uint16_t>(text.size() + 1));
        program.insert(program.end(), text.begin(), text.end());
        program.push_back(basic::ENTER);
    }
    return program;
}

void BM_ListBasic40K(benchmark::State& state)
{
    const Bytes program = program_of_40k();
    for (auto _ : state) {
        auto listing = basic::list_program(program, program.size());
        benchmark::DoNotOptimize(listing);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(program.size()));
    state.counters["lines"] = static_cast<double>(basic::list_program(program, program.size()).lines.size());
}
BENCHMARK(BM_ListBasic40K)->Unit(benchmark::kMicrosecond);

void BM_RewriteBasic40K(benchmark::State& state)
{
    // The program holds no disc syntax, so the rewrite leaves it as it is and every pass sees the same bytes.
    Bytes program = program_of_40k();
    for (auto _ : state)
        benchmark::DoNotOptimize(tape::rewrite_basic_loader(program));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(program.size()));
}
BENCHMARK(BM_RewriteBasic40K)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
