#include "tape/convert.h"

#include "basic_program.h"
#include "image/directory.h"
#include "support/file_size_limit.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

using tape::SelectedRow;
using testing_support::Bytes;
using testing_support::EntryFields;
using testing_support::ImageBuilder;
using testing_support::TempDir;
using Lines = std::vector<std::string>;

namespace {

struct Fixture
{
    TempDir dir;
    std::string image;
    std::string tape = (dir / "out.tap").string();

    explicit Fixture(const ImageBuilder& b) : image(b.write(dir / "disc.mgt").string()) {}

    tape::ConversionResult convert(const std::vector<SelectedRow>& rows, bool rewrite = true)
    {
        return tape::convert_files(*testing_support::open_source(image), image, rows, rewrite, tape);
    }
    Bytes tape_bytes() const { return testing_support::read_file(tape); }
};

// A loader: line 10 LOAD d1"ab"CODE, then filler up to 200 bytes of program, then 20 bytes of variables.
Bytes loader_program()
{
    using namespace testing_support;
    Bytes program = basic_line(10, Bytes{TOKEN_LOAD, 'd'} + small_number(1) + ascii("\"ab\"") + Bytes{TOKEN_CODE});
    program = program + basic_line(20, Bytes(200 - program.size() - 5, ' '));
    return program + Bytes(20, 0x80);
}

} // namespace

TEST(ConvertFiles, TenLetterScreenAt16384MakesA6937ByteTape)
{
    ImageBuilder b;
    Bytes data(6912, 0x00);
    data[100] = 0x42;
    b.add_zx_file(3, 7, "ABCDEFGHIJ", data, 16384);
    Fixture f(b);
    const auto result = f.convert({{"ABCDEFGHIJ", 3}});
    EXPECT_EQ(result.lines, Lines{});
    EXPECT_EQ(result.failures, 0);

    const Bytes tap = f.tape_bytes();
    ASSERT_EQ(tap.size(), 6937u);
    const Bytes blocks_start = {0x13, 0x00, 0x00, 0x03, 'A',  'B',  'C',  'D',  'E',  'F',  'G',  'H',
                                'I',  'J',  0x00, 0x1B, 0x00, 0x40, 0x00, 0x80, 0xD3, 0x02, 0x1B, 0xFF};
    EXPECT_TRUE(std::equal(blocks_start.begin(), blocks_start.end(), tap.begin()));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), tap.begin() + 24));
    EXPECT_EQ(tap.back(), 0x42 ^ 0xFF);
}

TEST(ConvertFiles, BasicProgramHeaderAndRewriteLines)
{
    ImageBuilder b;
    const Bytes loader = loader_program();
    b.add_zx_file(0, 1, "loader", loader, 0, 10, 200);
    const Bytes plain = testing_support::basic_line(1, testing_support::ascii("REM"));
    b.add_zx_file(1, 1, "plain", plain);
    Fixture f(b);

    const auto on = f.convert({{"loader", 0}, {"plain", 1}}, true);
    EXPECT_EQ(on.lines, (Lines{"loader syntax changes: 1", "plain syntax changes: 0"}));
    EXPECT_EQ(on.failures, 0);
    const Bytes tap = f.tape_bytes();
    ASSERT_EQ(tap.size(), 2 * (21 + 4) + loader.size() + plain.size());
    const Bytes header = {0x00, 0x00, 'l', 'o', 'a', 'd', 'e', 'r', ' ', ' ', ' ', ' ', 220, 0, 10, 0, 200, 0};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), tap.begin() + 2));
    Bytes rewritten = loader;
    std::fill_n(rewritten.begin() + 5, 8, ' ');
    EXPECT_TRUE(std::equal(rewritten.begin(), rewritten.end(), tap.begin() + 24));

    const auto off = f.convert({{"loader", 0}, {"plain", 1}}, false);
    EXPECT_EQ(off.lines, Lines{});
    EXPECT_TRUE(std::equal(loader.begin(), loader.end(), f.tape_bytes().begin() + 24));
}

TEST(ConvertFiles, RowsAreWrittenInTheOrderGiven)
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "first", Bytes(10, 1));
    b.add_zx_file(1, 2, "second", Bytes(20, 2));
    Fixture f(b);
    f.convert({{"second", 1}, {"first", 0}});
    const Bytes tap = f.tape_bytes();
    ASSERT_EQ(tap.size(), 2 * 25 + 30u);
    EXPECT_EQ(tap[3], 1); // number array
    EXPECT_EQ(tap[4], 's');
    EXPECT_EQ(tap[25 + 20 + 3], 3); // bytes
    EXPECT_EQ(tap[25 + 20 + 4], 'f');
}

TEST(ConvertFiles, FilesThatYieldNothingGetALineTypesWithoutTapeFormAreSkipped)
{
    ImageBuilder b;
    EntryFields erased;
    erased.name = "gone";
    erased.zx_length = 10;
    b.entry(0, erased);
    b.add_zx_file(1, 5, "snap", Bytes(100, 5));
    b.add_zx_file(2, 4, "empty", {});
    b.add_zx_file(3, 4, "odd", Bytes(10, 3));
    b.entry_bytes(3)[image::entry::TAPE_TYPE] = 4; // a tape type no tape loader knows
    b.add_zx_file(4, 3, "chars", Bytes(30, 'x'));
    Fixture f(b);

    const std::vector<SelectedRow> rows = {{"gone", 0}, {"snap", 1}, {"empty", 2}, {"odd", 3}, {"chars", 4}};
    const auto result = f.convert(rows);
    EXPECT_EQ(result.lines, (Lines{"gone not converted, error occured", "snap not converted, error occured",
                                   "empty not converted, error occured"}));
    EXPECT_EQ(result.failures, 3);
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(f.tape_bytes().size(), 25 + 30u);

    image::RawImage blank(std::make_unique<image::MemoryBytes>(Bytes{}), image::Layout::Interleaved);
    const auto unreadable = tape::convert_files(blank, f.image, rows, true, f.tape);
    EXPECT_EQ(unreadable.lines.size(), rows.size());
    EXPECT_EQ(unreadable.failures, 5);
}

TEST(ConvertFiles, FileWithACutChainGoesOnTheTapeAndIsNamed)
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "whole", Bytes(600, 1));
    const auto chain = b.add_zx_file(1, 4, "cut", Bytes(600, 2));
    b.link(chain[0], {0, 0});
    Fixture f(b);
    const auto result = f.convert({{"whole", 0}, {"cut", 1}});
    EXPECT_EQ(result.lines, Lines{}); // the message pane says nothing of it
    EXPECT_EQ(result.written, 2);
    ASSERT_EQ(result.short_files.size(), 1u);
    EXPECT_EQ(result.short_files[0].slot, 1);
    EXPECT_EQ(result.short_files[0].chain.zero_bytes, 600u - 501u);
    EXPECT_EQ(result.write_failure, "");
}

TEST(ConvertFiles, EmptySelectionReplacesTheTapeWithAnEmptyFile)
{
    Fixture f{ImageBuilder()};
    testing_support::write_file(f.tape, Bytes(100, 7));
    const auto result = f.convert({});
    EXPECT_EQ(result.lines, Lines{});
    EXPECT_TRUE(std::filesystem::exists(f.tape));
    EXPECT_EQ(std::filesystem::file_size(f.tape), 0u);
}

TEST(ConvertFiles, TapeThatCannotBeCreatedGivesOneLineAndNothingElse)
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(10, 1));
    Fixture f(b);
    const Bytes image_before = testing_support::read_file(f.image);
    for (const std::string& path :
         {(f.dir / "no-such-folder" / "x.tap").string(), f.dir.path().string(), std::string(), f.image}) {
        const auto result = tape::convert_files(*testing_support::open_source(f.image), f.image,
                                                std::vector<SelectedRow>{{"code", 0}, {"x", 9}}, true, path);
        EXPECT_EQ(result.lines, Lines{"Cannot write " + path});
        EXPECT_EQ(result.failures, 1);
        EXPECT_NE(result.write_failure, "") << path;
    }
    EXPECT_FALSE(std::filesystem::exists(f.dir / "no-such-folder"));
    EXPECT_EQ(testing_support::read_file(f.image), image_before);

    // An image read from an archive (ARCHIVE.zip/NAME): the tape never replaces the archive.
    const std::string archive = (f.dir / "discs.zip").string();
    testing_support::write_file(archive, Bytes{1, 2, 3});
    const auto result = tape::convert_files(*testing_support::open_source(f.image), archive + "/d.mgt",
                                            std::vector<SelectedRow>{{"code", 0}}, true, archive);
    EXPECT_EQ(result.lines, Lines{"Cannot write " + archive});
    EXPECT_EQ(testing_support::read_file(archive), (Bytes{1, 2, 3}));
}

TEST(ConvertFiles, WriteErrorIsReportedAfterTheFileLinesAndKeepsTheOldTape)
{
    ImageBuilder b;
    b.add_zx_file(0, 1, "prog", testing_support::basic_line(1, testing_support::ascii("REM")));
    b.add_zx_file(1, 4, "big", Bytes(40000, 1));
    Fixture f(b);
    const Bytes old_tape(50, 7);
    testing_support::write_file(f.tape, old_tape);
    const Lines expected = {"prog syntax changes: 0", "x not converted, error occured", "Cannot write " + f.tape};
    testing_support::FileSizeLimit limit(10);
    EXPECT_EQ(f.convert({{"prog", 0}, {"x", 9}}).lines, expected);
    const auto both = f.convert({{"prog", 0}, {"x", 9}, {"big", 1}});
    EXPECT_EQ(both.lines, expected);
    EXPECT_EQ(both.failures, 2);
    EXPECT_EQ(both.written, 0); // the blocks of prog and big did not all reach the tape
    EXPECT_EQ(both.write_failure, "File too large");
    EXPECT_EQ(f.tape_bytes(), old_tape);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), 2); // no temporary left
}

TEST(IsNonemptyFile, OnlyARegularFileWithBytes)
{
    TempDir dir;
    testing_support::write_file(dir / "empty", {});
    testing_support::write_file(dir / "one", Bytes{0});
    EXPECT_FALSE(tape::is_nonempty_file((dir / "missing").string()));
    EXPECT_FALSE(tape::is_nonempty_file((dir / "empty").string()));
    EXPECT_FALSE(tape::is_nonempty_file(dir.path().string()));
    EXPECT_TRUE(tape::is_nonempty_file((dir / "one").string()));
}

TEST(ConvertFiles, SoloForthFilesMatchTheirOriginalTapes)
{
    // The original tapes were made elsewhere: only the CODE header's second parameter (and so the header
    // checksum) may differ.
    const auto dir = testing_support::real_images_dir();
    TempDir tmp;
    const std::string out = (tmp / "solo.tap").string();
    for (const auto& [slot, name, reference] :
         {std::tuple{0, "+SYS 2a", "gplusdos-sys-2a.tap"}, std::tuple{5, "ea5a.f42", "ea5a.f42.tap"}}) {
        const std::string image = (dir / "solo-forth-boot.mgt").string();
        const auto result = tape::convert_files(*testing_support::open_source(image), image,
                                                std::vector<SelectedRow>{{name, slot}}, true, out);
        EXPECT_EQ(result.lines, Lines{});
        const Bytes ours = testing_support::read_file(out);
        const Bytes theirs = testing_support::read_file(dir / "reference-taps" / reference);
        ASSERT_EQ(ours.size(), theirs.size()) << reference;
        constexpr std::size_t PARAM2_IN_FILE = 2 + 16;
        constexpr std::size_t HEADER_BLOCK_END = 21;
        EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + PARAM2_IN_FILE, theirs.begin())) << reference;
        EXPECT_TRUE(std::equal(ours.begin() + HEADER_BLOCK_END, ours.end(), theirs.begin() + HEADER_BLOCK_END))
            << reference;
    }
}
