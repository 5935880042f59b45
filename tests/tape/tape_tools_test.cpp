// Tapes written here are read back by the Fuse emulator's utilities, which know the format independently of
// this program: tzxlist must accept every block, listbasic must show the rewritten loader as tape BASIC.
#include "tape/convert.h"

#include "basic_program.h"
#include "support/image_builder.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <regex>

using namespace testing_support;

namespace {

// The "Block length: N bytes" figures that tzxlist prints, in tape order.
std::vector<int> block_lengths(const std::string& listing)
{
    static const std::regex pattern("Block length: ([0-9]+) bytes");
    std::vector<int> lengths;
    for (auto it = std::sregex_iterator(listing.begin(), listing.end(), pattern); it != std::sregex_iterator(); ++it)
        lengths.push_back(std::stoi((*it)[1]));
    return lengths;
}

std::size_t count_of(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

// 10 LOAD d1"scr"SCREEN$: LOAD *"m";1;"code"CODE
// 20 RANDOMIZE USR 8
Bytes loader_program()
{
    const Bytes channel_1 = Bytes{0x2A} + ascii("\"m\";") + small_number(1) + ascii(";");
    return basic_line(10, Bytes{TOKEN_LOAD, 'd'} + small_number(1) + ascii("\"scr\"") + Bytes{0xAA, ':', TOKEN_LOAD} +
                              channel_1 + ascii("\"code\"") + Bytes{TOKEN_CODE}) +
           basic_line(20, Bytes{TOKEN_RANDOMIZE, TOKEN_USR} + small_number(8));
}

class TapeTools : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!has_tool("tzxlist") || !has_tool("listbasic"))
            GTEST_SKIP() << "tzxlist and listbasic (fuse-emulator-utils) are not installed";
    }

    // Converts the given slots of `b` into a tape and returns its path.
    std::filesystem::path convert(const ImageBuilder& b, const std::vector<tape::SelectedRow>& rows,
                                  const std::string& name)
    {
        const auto image = b.write(m_dir / (name + ".mgt"));
        const auto tape_path = m_dir / (name + ".tap");
        const auto result =
            tape::convert_files(*testing_support::open_source(image), image.string(), rows, true, tape_path.string());
        EXPECT_EQ(result.failures, 0) << name;
        return tape_path;
    }

    TempDir m_dir;
};

} // namespace

TEST_F(TapeTools, TzxlistAcceptsEveryBlock)
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(1000, 0xC9), 32768);
    b.add_zx_file(1, 7, "screen", Bytes(6912, 0x55), 16384);
    b.add_zx_file(2, 1, "loader", loader_program(), 0, 10, static_cast<std::uint16_t>(loader_program().size()));
    // The +D keeps an array's name byte in entry byte 216 (as the variables area has it: a() 0x81, b$() 0xC2) and
    // the address the array had in its start field.
    b.add_zx_file(3, 2, "numbers", Bytes(5 * 10 + 3, 0), 0x5D42, 0, 0xFF81);
    b.add_zx_file(4, 3, "chars", Bytes(20 + 3, 'a'), 0x5D42, 0, 0xFFC2);
    b.add_zx_file(5, 4, "largest", Bytes(65533, 0x01), 0);

    struct Case
    {
        std::string name;
        std::vector<tape::SelectedRow> rows;
        std::vector<int> lengths;
        std::vector<std::string> shown = {};
    };
    const int loader_block = static_cast<int>(loader_program().size()) + 2;
    const std::vector<Case> cases = {
        {"two-files", {{"code", 0}, {"screen", 1}}, {19, 1002, 19, 6914}},
        {"loader", {{"loader", 2}}, {19, loader_block}},
        {"arrays", {{"numbers", 3}, {"chars", 4}}, {19, 55, 19, 25}, {"DATA A()", "DATA B$()"}},
        {"largest", {{"largest", 5}}, {19, 65535}},
    };
    for (const Case& c : cases) {
        const ToolRun run = run_tool("tzxlist", convert(b, c.rows, c.name));
        EXPECT_EQ(run.status, 0) << c.name << '\n' << run.output;
        EXPECT_EQ(block_lengths(run.output), c.lengths) << c.name << '\n' << run.output;
        EXPECT_EQ(count_of(run.output, "Checksum: "), c.lengths.size()) << c.name;
        EXPECT_EQ(count_of(run.output, "(PASS)"), c.lengths.size()) << c.name << '\n' << run.output;
        for (const std::string& shown : c.shown)
            EXPECT_EQ(count_of(run.output, shown), 1u) << c.name << ": " << shown << '\n' << run.output;
    }
}

TEST_F(TapeTools, ListbasicShowsTheRewrittenLoaderAsTapeBasic)
{
    ImageBuilder b;
    b.add_zx_file(0, 1, "loader", loader_program(), 0, 10, static_cast<std::uint16_t>(loader_program().size()));
    const ToolRun run = run_tool("listbasic", convert(b, {{"loader", 0}}, "loader"));
    EXPECT_EQ(run.status, 0) << run.output;
    // listbasic prints a keyword followed by one blank; the blanked bytes follow it.
    const std::string line_10 =
        "   10 LOAD" + std::string(1 + 8, ' ') + "\"scr\"SCREEN$ : LOAD" + std::string(1 + 13, ' ') + "\"code\"CODE";
    EXPECT_NE(run.output.find(line_10), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("   20 RANDOMIZE USR 8"), std::string::npos) << run.output;
}
