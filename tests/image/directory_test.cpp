#include "image/directory.h"

#include "image/file_bytes.h"
#include "image/file_export.h"
#include "inspect/scan.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

using image::CatalogueRow;
using image::Layout;
using testing_support::EntryFields;
using testing_support::ImageBuilder;
using testing_support::TempDir;

namespace {

image::Catalogue list(const ImageBuilder& builder, const TempDir& dir, const std::string& name = "disc.mgt")
{
    const auto path = builder.write(dir / name);
    return image::read_directory(*testing_support::open_source(path));
}

std::array<std::string, 8> cells(const CatalogueRow& row)
{
    return image::cell_texts(row);
}

} // namespace

TEST(SlotAddress, MapsSlotsToDirectorySectorsAndHalves)
{
    EXPECT_EQ(image::slot_address(0).track_byte, 0);
    EXPECT_EQ(image::slot_address(0).sector_index, 0);
    EXPECT_EQ(image::slot_address(0).offset, 0u);
    EXPECT_EQ(image::slot_address(1).offset, 256u);
    EXPECT_EQ(image::slot_address(21).track_byte, 1);
    EXPECT_EQ(image::slot_address(21).sector_index, 0);
    EXPECT_EQ(image::slot_address(79).track_byte, 3);
    EXPECT_EQ(image::slot_address(79).sector_index, 9);
    EXPECT_EQ(image::slot_address(79).offset, 256u);
}

TEST(ReadDirectory, WorkedExamplesGiveTheListedCells)
{
    TempDir dir;
    ImageBuilder b;
    EntryFields screen;
    screen.status = 4;
    screen.name = "SCREEN";
    screen.zx_length = 6912;
    screen.zx_start = 16384;
    screen.sector_count = 14;
    screen.first_track = 4;
    screen.first_sector = 1;
    b.entry(0, screen);
    EntryFields hidden_protected = screen;
    hidden_protected.status = 196;
    b.entry(1, hidden_protected);
    EntryFields sam_code;
    sam_code.status = 19;
    sam_code.name = "samcode";
    sam_code.sam_start_page = 1;
    sam_code.sam_code_offset = 0x8000;
    sam_code.sam_length = 6912;
    b.entry(2, sam_code);
    EntryFields free_but_flagged;
    free_but_flagged.status = 64;
    b.entry(3, free_but_flagged);
    free_but_flagged.status = 128;
    b.entry(4, free_but_flagged);

    const auto rows = list(b, dir);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(cells(rows[0]),
              (std::array<std::string, 8>{"SCREEN    ", "16384", "6912", "", "ZX Code (4)", "1", "4", "14"}));
    EXPECT_TRUE(rows[1].hidden && rows[1].protected_file);
    EXPECT_EQ(cells(rows[1])[3], "HP");
    EXPECT_EQ(rows[2].start, 32768);
    EXPECT_EQ(rows[2].length, 6912);
    EXPECT_EQ(rows[2].type_text, "SAM Code (19)");
}

TEST(ReadDirectory, RowsKeepTheirSlotNotTheirPosition)
{
    TempDir dir;
    ImageBuilder b;
    EntryFields e;
    e.status = 1;
    e.name = "third";
    b.entry(2, e);
    e.name = "last";
    b.entry(79, e);
    const auto rows = list(b, dir);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].slot, 2);
    EXPECT_EQ(rows[0].name, "third     ");
    EXPECT_EQ(rows[1].slot, 79);
}

TEST(ReadDirectory, EmptyDirectoryListsNothing)
{
    TempDir dir;
    EXPECT_TRUE(list(ImageBuilder(), dir).empty());
}

TEST(ReadDirectory, FieldsAreDecodedAsStored)
{
    TempDir dir;
    ImageBuilder b;
    EntryFields e;
    e.status = 4;
    e.raw_name = {'A', 'B', 0, 'Z', 'Z'};
    b.entry(0, e);
    b.entry_bytes(0)[11] = 1; // sector count, high byte first
    b.entry_bytes(0)[12] = 2;
    b.entry_bytes(0)[13] = 129;
    EntryFields full;
    full.status = 1;
    full.raw_name = {'0', '1', '2', '3', '4', '5', '6', '7', '8', 0xFF};
    b.entry(1, full);

    const auto rows = list(b, dir);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "AB");
    EXPECT_EQ(rows[0].sectors, 258);
    EXPECT_EQ(rows[0].start_track, 129);
    EXPECT_EQ(rows[1].name, std::string("012345678\xFF"));
}

TEST(ReadDirectory, SamStartPagesArePerEntryAndWrap)
{
    TempDir dir;
    ImageBuilder b;
    EntryFields zx;
    zx.status = 4;
    zx.zx_start = 1234;
    b.entry(0, zx);
    EntryFields sam;
    sam.status = 20; // SAM Screen: start from page 236 and offset 237-238, as for every SAM type
    sam.sam_start_page = 2;
    sam.sam_code_offset = 0xC005; // only the low 14 bits count
    sam.zx_start = 0x8009;        // the header copy's offset is not read
    sam.sam_page_count = 1;
    sam.sam_length = 0xC010;
    b.entry(1, sam);
    sam.sam_start_page = 255; // plus one wraps to page 0
    b.entry(2, sam);
    sam.sam_start_page = 31; // plus one is 32; the low five bits give page 0
    b.entry(3, sam);

    const auto rows = list(b, dir);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].start, 1234);
    EXPECT_EQ(rows[1].start, 3 * 16384 + 5);
    EXPECT_EQ(rows[1].length, 16384 + 0x10);
    EXPECT_EQ(rows[2].start, 5);
    EXPECT_EQ(rows[3].start, 5);
}

TEST(ReadDirectory, TypeTableNamesLengthsAndStarts)
{
    TempDir dir;
    ImageBuilder b;
    const std::array<int, 8> codes = {12, 13, 14, 15, 16, 21, 47, 10};
    for (std::size_t i = 0; i < codes.size(); ++i) {
        EntryFields e;
        e.status = static_cast<std::uint8_t>(codes[i]);
        e.zx_length = 0x4123;
        e.zx_start = 500;
        e.sam_page_count = 2;
        e.sam_start_page = 3;
        b.entry(static_cast<int>(i), e);
    }
    const auto rows = list(b, dir);
    ASSERT_EQ(rows.size(), codes.size());
    EXPECT_EQ(rows[0].type_text, "UniDos SubDir (12)");
    EXPECT_EQ(rows[1].type_text, "UniDos Create (13)");
    for (int i : {0, 1, 2, 3, 5, 6}) {
        EXPECT_EQ(rows[static_cast<std::size_t>(i)].start, 0) << i;
        EXPECT_EQ(rows[static_cast<std::size_t>(i)].length, 0) << i;
    }
    EXPECT_EQ(rows[2].type_text, " (14)");
    EXPECT_EQ(rows[3].type_text, " (15)");
    EXPECT_EQ(rows[5].type_text, "SAM SubDir (21)");
    EXPECT_EQ(rows[6].type_text, " (47)"); // a ZX code with bit 5 set keeps it
    EXPECT_EQ(rows[4].type_text, "SAM Basic (16)");
    EXPECT_EQ(rows[4].length, 2 * 16384); // the SAM length field (0 here), not the ZX one
    EXPECT_EQ(rows[4].start, 4 * 16384);  // where the program starts: page 3 plus one, offset 0
    EXPECT_EQ(rows[7].type_text, "ZX OpenType (10)");
    EXPECT_EQ(rows[7].length, 0x4123);
}

TEST(ReadDirectory, SecondEntryOfASectorKeepsItsOwnType)
{
    TempDir dir;
    ImageBuilder b;
    EntryFields e;
    e.status = 2;
    b.entry(4, e);
    e.status = 12;
    b.entry(5, e);
    const auto rows = list(b, dir);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].type_text, "ZX NumArray (2)");
    EXPECT_EQ(rows[1].type_text, "UniDos SubDir (12)");
}

TEST(ReadDirectory, DirectorySectorsFollowTheLayout)
{
    TempDir dir;
    for (Layout layout : {Layout::Interleaved, Layout::Sequential}) {
        ImageBuilder b(layout);
        EntryFields e;
        e.status = 7;
        e.name = "track2";
        b.entry(45, e); // track 2, sector index 2
        const std::string name = layout == Layout::Interleaved ? "d.dsk" : "d.img";
        const auto rows = list(b, dir, name);
        ASSERT_EQ(rows.size(), 1u) << name;
        EXPECT_EQ(rows[0].slot, 45);
        EXPECT_EQ(rows[0].type_text, "ZX Screen$ (7)");
        // The same bytes read in the other layout do not hold that entry at that place.
        const auto other = image::read_directory(*testing_support::open_raw(
            dir / name, layout == Layout::Interleaved ? Layout::Sequential : Layout::Interleaved));
        EXPECT_TRUE(other.empty() || other.front().slot != 45);
    }
}

TEST(ReadDirectory, ShortOrLongFilesAreListedAndMissingOnesAreNot)
{
    TempDir dir;
    ImageBuilder b;
    EntryFields e;
    e.status = 3;
    b.entry(0, e);
    b.entry(79, e); // track 3, beyond the end once the file is cut to 20,000 bytes
    b.resize(20000);
    const auto rows = list(b, dir);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].slot, 0);

    const auto missing = image::open_image((dir / "missing.mgt").string());
    ASSERT_TRUE(std::holds_alternative<common::Error>(missing));
    EXPECT_EQ(std::get<common::Error>(missing).text, common::error_text(ENOENT));
}

TEST(ReadDirectory, SamBasicLengthComesFromTheSamFieldsNotTheHeaderCopy)
{
    // As on real MasterDOS and SAMDOS discs: bytes 210-220 hold '*' and blanks (MasterDOS's disc name), not the
    // copy of the file header, so the header copy's length reads 8224.
    constexpr std::size_t BLANKED = 11; // bytes 210-220
    TempDir dir;
    ImageBuilder b;
    const std::vector<std::uint8_t> program(676, 0x0D);
    b.add_sam_file(0, 16, "AUTO", program);
    b.add_sam_file(1, 16, "COMPILER", std::vector<std::uint8_t>(6930, 0x0D));
    for (int slot : {0, 1}) {
        const auto e = b.entry_bytes(slot);
        std::fill(e.begin() + image::entry::LENGTH_HIGH, e.begin() + image::entry::LENGTH_HIGH + BLANKED, ' ');
        e[image::entry::LENGTH_HIGH] = '*';
    }
    const auto path = b.write(dir / "masterdos.mgt");
    const auto disc = testing_support::open_source(path);
    const auto rows = image::read_directory(*disc);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].length, 676);
    EXPECT_EQ(rows[1].length, 6930);
    const auto exported = image::export_file(*disc, 0);
    ASSERT_TRUE(std::holds_alternative<image::ExportedFile>(exported));
    EXPECT_EQ(std::get<image::ExportedFile>(exported).bytes, program);
    EXPECT_EQ(inspect::scan_image(*disc, path.string()).problems, 0);
}

TEST(ReadDirectory, MasterDosExtraDirectoryTracksAreListed)
{
    // MasterDOS marks its discs with a name or '*' at byte 210 of the first entry, and leaves track 4 sector 1 out
    // of a longer directory: slot 80 lies in track 4 sector 2, five tracks hold slots 0-97, 39 tracks 0-777.
    struct Case
    {
        const char* what;
        std::uint8_t first_type;
        std::uint8_t extra_tracks;
        std::uint8_t name_byte;
        std::vector<int> listed;
    };
    const std::vector<Case> cases = {
        {"five tracks", 16, 1, '*', {0, 79, 80, 97}},
        {"39 tracks, first entry free", 0, 35, 'A', {79, 80, 97, 98, 777}},
        {"MasterDOS subdirectory first", 21, 1, '*', {0, 79, 80, 97}},
        {"more than MasterDOS allows", 19, 36, '*', {0, 79}},
        {"SAMDOS disc: no disc name", 19, 1, 0, {0, 79}},
        {"+D disc: a ZX file first", 4, 1, '*', {0, 79}},
        {"a type no DOS writes first", 40, 1, '*', {0, 79}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        ImageBuilder b;
        EntryFields e;
        e.status = 19;
        for (int slot : {79, 80, 97, 98, 777})
            b.entry(slot, e);
        e.status = c.first_type;
        b.entry(0, e);
        b.entry_bytes(0)[image::entry::EXTRA_DIRECTORY_TRACKS] = c.extra_tracks;
        b.entry_bytes(0)[image::entry::DISC_NAME] = c.name_byte;
        std::vector<int> listed;
        for (const CatalogueRow& row : list(b, dir))
            listed.push_back(row.slot);
        EXPECT_EQ(listed, c.listed) << c.what;
    }
    EXPECT_EQ(image::slot_address(80).sector_index, 1);
    EXPECT_EQ(image::slot_address(80).track_byte, 4);
}

TEST(SamFacts, EntryBytesGiveExecutionLineAndTimeAsMasterDosAndBdosKeepThem)
{
    struct Case
    {
        int code;
        std::vector<std::pair<std::size_t, std::uint8_t>> bytes; // entry offset and value
        std::string facts;
    };
    // Execution address page 2 offset 0x8005 is 32773 (samfile's and SimCoupe's page, no "less one"); BDOS 1.7
    // packs its time with seconds (mgtdisklib's example); a day of 0xFF or 0 is no time.
    const std::vector<Case> cases = {
        {19, {{242, 0x02}, {243, 0x05}, {244, 0x80}, {245, 0xFF}}, "execution address 32773"},
        {19,
         {{242, 0xFF}, {245, 0x1F}, {246, 0xE0}, {247, 0x63}, {248, 0xBB}, {249, 0xFD}},
         "saved 1999-12-31 23:59:58"},
        {16,
         {{242, 0x00}, {243, 10}, {245, 5}, {246, 12}, {247, 93}, {248, 23}, {249, 48}},
         "auto-run line 10; saved 1993-12-05 23:48"},
        {16, {{242, 0x40}, {243, 10}, {245, 0}, {246, 1}}, ""},
        {18,
         {{220, 0x04}, {221, 3}, {222, 'a'}, {223, 'b'}, {224, 'c'}, {245, 0xFF}},
         "array abc; saved packed by MasterBASIC"},
        {20, {{220, 0x0C}, {221, 3}, {245, 0xFF}}, "MODE 4; saved packed by MasterBASIC"},
        {19, {{220, 0x0C}, {242, 0xFF}, {245, 0xFF}}, ""}, // packing by nibbles is for screens only
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, image::entry::SIZE> entry{};
        for (const auto& [at, value] : c.bytes)
            entry[at] = value;
        EXPECT_EQ(image::sam_facts_text(image::decode_sam_facts(entry, c.code)), c.facts) << c.facts;
    }
}
