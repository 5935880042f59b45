// verify_edit: each of its refusals, from an edited disc built with that one fault, the same whether it works out
// the disc before itself or is given it (scan_disc); and a sound edit of a disc whose files share a name and have
// findings (raw Forth blocks) passes, either way.
#include "files/disc_access.h"
#include "files/disc_edit.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

namespace e = image::entry;
using files::DiscValue;
using files::disc::entry_of;
using files::disc::put_entry;

// Two ZX files: slot 0 of three sectors, slot 1 of two.
DiscValue two_files()
{
    testing_support::ImageBuilder b;
    b.add_zx_file(0, 3, "first", std::vector<std::uint8_t>(1200, 1), 32768);
    b.add_zx_file(1, 3, "second", std::vector<std::uint8_t>(600, 2), 40000);
    DiscValue disc{b.bytes(), image::Layout::Interleaved};
    // The builder leaves the sector maps empty; an edit's check wants them to name each file's chain.
    for (int slot = 0; slot < 2; ++slot) {
        image::SectorMap own;
        image::EntryBytes bytes = entry_of(disc, slot);
        files::disc::add_sectors_of(disc, bytes, own);
        own.put_into(bytes);
        put_entry(disc, slot, bytes);
    }
    return disc;
}

void change_entry(DiscValue& disc, int slot, const std::function<void(image::EntryBytes&)>& change)
{
    image::EntryBytes bytes = entry_of(disc, slot);
    change(bytes);
    put_entry(disc, slot, bytes);
}

int first_sector_index(const DiscValue& disc, int slot)
{
    const image::EntryBytes bytes = entry_of(disc, slot);
    return *image::data_sector_index(bytes[e::FIRST_TRACK], bytes[e::FIRST_SECTOR]);
}

} // namespace

TEST(EditCheck, EveryUnsoundEditIsRefused)
{
    struct Case
    {
        const char* name;
        std::function<void(DiscValue&)> fault;
        std::vector<int> changed;
        std::string refusal;
    };
    const std::vector<Case> cases = {
        {"a short disc", [](DiscValue& d) { d.bytes.pop_back(); }, {0}, "not a whole disc in the same layout"},
        {"another layout", [](DiscValue& d) { d.layout = image::Layout::Sequential; }, {0}, "not a whole disc"},
        {"a slot off the disc", [](DiscValue&) {}, {80}, "slot 80 is not on the disc"},
        {"an entry left alone changed",
         [](DiscValue& d) { change_entry(d, 1, [](image::EntryBytes& b) { b[e::NAME] = 'X'; }); },
         {0},
         "the entry of slot 1 changed"},
        {"data left alone changed",
         [](DiscValue& d) { files::disc::data_sector(d, first_sector_index(d, 1))[100] ^= 0xFF; },
         {0},
         "data of a file left alone changed"},
        {"a freed slot keeps its map",
         [](DiscValue& d) {
             change_entry(d, 0, [](image::EntryBytes& b) {
                 b[e::STATUS] = 0;
                 b[e::SECTOR_MAP] = 1;
             });
         },
         {0},
         "the freed slot 0 still names sectors in its map"},
        {"a chain into the directory",
         [](DiscValue& d) { change_entry(d, 0, [](image::EntryBytes& b) { b[e::FIRST_TRACK] = 0; }); },
         {0},
         "slot 0: its chain leaves the data sectors or comes back to a sector"},
        {"a chain past its count",
         [](DiscValue& d) { change_entry(d, 0, [](image::EntryBytes& b) { b[e::SECTOR_COUNT + 1] -= 1; }); },
         {0},
         "slot 0: its chain runs past its sector count"},
        {"a map that names another sector",
         [](DiscValue& d) { change_entry(d, 0, [](image::EntryBytes& b) { b[e::SECTOR_MAP + 100] |= 1; }); },
         {0},
         "slot 0: its sector map disagrees with its chain"},
        {"a file on another's sectors",
         [](DiscValue& d) {
             const image::EntryBytes other = entry_of(d, 1);
             change_entry(d, 0, [&](image::EntryBytes& b) {
                 std::copy(other.begin() + e::SECTOR_COUNT, other.begin() + e::SECTOR_MAP + e::SECTOR_MAP_LEN,
                           b.begin() + e::SECTOR_COUNT);
             });
         },
         {0},
         "slot 0 shares a sector with another file"},
        {"a new finding of the scan",
         [](DiscValue& d) { change_entry(d, 0, [](image::EntryBytes& b) { b[e::ZX_START] ^= 1; }); },
         {0},
         "the scan finds something new: first      has probably bad internal header information"},
    };
    const DiscValue before = two_files();
    const files::DiscScan scanned = files::scan_disc(before);
    ASSERT_EQ(files::verify_edit(before, before, std::vector<int>{0, 1}), std::nullopt);
    ASSERT_EQ(files::verify_edit(before, before, std::vector<int>{0, 1}, &scanned), std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscValue after = before;
        c.fault(after);
        const auto refusal = files::verify_edit(before, after, c.changed);
        ASSERT_TRUE(refusal.has_value());
        EXPECT_NE(refusal->find(c.refusal), std::string::npos) << *refusal;
        EXPECT_EQ(files::verify_edit(before, after, c.changed, &scanned), refusal);
    }
}

// Raw Forth blocks read as a directory give many entries of one name, with findings: renaming one of them keeps
// every other finding where it was.
TEST(EditCheck, RenamingOneOfSeveralSameNamedFilesPasses)
{
    const auto path = testing_support::real_images_dir() / "solo-forth-library-blocks.mgt";
    const DiscValue disc{testing_support::read_file(path), image::Layout::Interleaved};
    const files::DiscScan scanned = files::scan_disc(disc);
    EXPECT_FALSE(scanned.findings.empty());
    int renamed = 0;
    for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot) {
        if (!files::disc::is_used(entry_of(disc, slot)))
            continue;
        for (const files::DiscScan* given : {static_cast<const files::DiscScan*>(nullptr), &scanned}) {
            const auto edited = files::rename_file(disc, slot, "renamed", true, given);
            EXPECT_TRUE(std::holds_alternative<files::Edited>(edited)) << slot << ": " << std::get<std::string>(edited);
        }
        ++renamed;
    }
    EXPECT_GT(renamed, 10);
}
