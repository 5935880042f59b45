// The use cases over the real discs: every command a row offers works on a sound file and the ones it does not
// offer are refused; a BASIC listing's line numbers are those its lines show; an edit undone gives back the exact
// bytes of the image and done again the edited ones, and a file changed meanwhile is never written.
#include "image/file_export.h"
#include "image/image_kinds.h"
#include "session/edit_history.h"
#include "session/row_commands.h"
#include "snapshot/plusd_snapshot.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

// Every disc image below the real images' folder, containers included.
std::vector<fs::path> every_real_image()
{
    std::vector<fs::path> images;
    for (const auto& item : fs::recursive_directory_iterator(testing_support::real_images_dir())) {
        if (item.is_regular_file() && image::kind_of_name(item.path().string()) != nullptr)
            images.push_back(item.path());
    }
    std::sort(images.begin(), images.end());
    return images;
}

bool sound(const session::ListedDisc& listed, int slot)
{
    return std::none_of(listed.scan.findings.begin(), listed.scan.findings.end(),
                        [&](const inspect::ScanFinding& finding) { return finding.slot == slot; });
}

TEST(Session, EveryRowOffersTheCommandsThatWorkOnIt)
{
    testing_support::TempDir dir;
    int rows = 0;
    for (const fs::path& path : every_real_image()) {
        const session::ListedDisc listed =
            session::list_opened(path.string(), image::open_one_image(path.string())).listed;
        for (const image::CatalogueRow& row : listed.catalogue) {
            const std::string where = path.filename().string() + " slot " + std::to_string(row.slot);
            const session::RowCommands offered = session::row_commands(row);
            EXPECT_TRUE(offered.edit) << where;
            // Not offered: refused. Offered: works on a file the scan finds nothing wrong with.
            const bool screen = std::holds_alternative<session::Screen>(session::screen_of(listed, row, nullptr));
            EXPECT_TRUE(offered.screen ? screen || !sound(listed, row.slot) : !screen) << where;
            const bool basic =
                std::holds_alternative<session::BasicListing>(session::basic_listing(listed, row, false));
            EXPECT_TRUE(!offered.basic || basic || !sound(listed, row.slot)) << where;
            const bool exported =
                std::holds_alternative<image::ExportedFile>(image::export_file(*listed.image.source, row.slot));
            EXPECT_TRUE(!offered.export_file || exported || !sound(listed, row.slot)) << where;
            const bool snapshot = std::holds_alternative<snapshot::Snapshot>(
                snapshot::read_plusd_snapshot(*listed.image.source, row.slot));
            EXPECT_TRUE(offered.snapshot ? snapshot || !sound(listed, row.slot) : !snapshot) << where;
            const int written =
                session::make_tape(listed, {row.slot}, false, (dir / "one.tap").string()).result.written;
            EXPECT_TRUE(offered.tape ? written == 1 || !sound(listed, row.slot) : written == 0) << where;
            ++rows;
        }
    }
    EXPECT_GT(rows, 250);
}

TEST(Session, ListingLinesCarryTheNumbersTheyShow)
{
    int programs = 0;
    for (const fs::path& path : every_real_image()) {
        session::ListedDisc listed = session::list_opened(path.string(), image::open_one_image(path.string())).listed;
        for (const image::CatalogueRow& row : listed.catalogue) {
            const auto read = basic::list_slot(*listed.image.source, row.slot, true);
            if (!read)
                continue;
            const basic::Listing& listing = read->listing;
            ASSERT_EQ(listing.numbers.size() + (listing.damage ? 1 : 0), listing.lines.size());
            for (std::size_t i = 0; i < listing.numbers.size(); ++i) {
                std::string number = std::to_string(listing.numbers[i]);
                number.insert(0, number.size() < 5 ? 5 - number.size() : 0, ' ');
                EXPECT_TRUE(listing.lines[i].starts_with(number)) << path << " " << listing.lines[i];
            }
            ++programs;
        }
    }
    EXPECT_GT(programs, 12);
}

TEST(Session, AnEditUndoneAndDoneAgainWritesTheExactBytes)
{
    for (const fs::path& real : testing_support::real_images()) {
        if (fs::file_size(real) != static_cast<std::uintmax_t>(image::IMAGE_BYTES))
            continue;
        testing_support::TempDir dir;
        const fs::path path = dir / real.filename();
        fs::copy_file(real, path);
        const auto original = testing_support::read_file(path);
        const auto listing = session::list_opened(path.string(), image::open_one_image(path.string()));
        const session::ListedDisc& listed = listing.listed;
        if (listed.catalogue.empty() || !listed.in_place)
            continue;
        const auto start = session::edit_start(listed);
        ASSERT_TRUE(std::holds_alternative<files::DiscValue>(start)) << real;
        const auto& before = std::get<files::DiscValue>(start);
        const int slot = listed.catalogue.front().slot;
        const auto outcome = files::set_flags(
            before, slot, listed.catalogue.front().hidden ? files::FlagChange::Clear : files::FlagChange::Set,
            files::FlagChange::Keep);
        ASSERT_TRUE(std::holds_alternative<files::Edited>(outcome)) << real;
        const files::DiscValue after = std::get<files::Edited>(outcome).disc;
        ASSERT_TRUE(files::save_disc(path.string(), before, after).written);
        session::EditHistory history;
        history.record({path.string(), before, after, "flag", {slot}});

        // The image renamed: its edits follow it.
        const fs::path moved = dir / "moved.mgt";
        fs::rename(path, moved);
        history.renamed(path.string(), moved.string());
        const auto here = [&](const std::string& step) {
            return step == moved.string();
        };
        const auto undone = history.undo(here);
        ASSERT_TRUE(undone && undone->saved.written) << real;
        EXPECT_EQ(testing_support::read_file(moved), original) << real;
        EXPECT_EQ(undone->step.changed_slots, std::vector<int>{slot});
        EXPECT_EQ(history.undoable(here), nullptr);
        ASSERT_TRUE(history.redo(here)->saved.written) << real;
        EXPECT_EQ(testing_support::read_file(moved), after.bytes) << real;

        // Changed by another program: not written back, and the step is gone.
        auto other = after.bytes;
        other[0] ^= 0xFF;
        testing_support::write_file(moved, other);
        EXPECT_EQ(history.undo(here)->saved.problem, files::SaveProblem::Changed) << real;
        EXPECT_EQ(testing_support::read_file(moved), other) << real;
        EXPECT_EQ(history.undoable(here), nullptr);
        EXPECT_FALSE(history.undo(here).has_value());
    }
}

TEST(Session, AnEditStartsOnlyFromTheDiscTheFileStillHolds)
{
    testing_support::TempDir dir;
    const fs::path path = dir / "disc.mgt";
    fs::copy_file(testing_support::real_images_dir() / "zx_screen.mgt", path);
    const auto listing = session::list_opened(path.string(), image::open_one_image(path.string()));
    EXPECT_TRUE(std::holds_alternative<files::DiscValue>(session::edit_start(listing.listed)));
    auto bytes = testing_support::read_file(path);
    bytes[5000] ^= 1;
    testing_support::write_file(path, bytes);
    const auto changed = session::edit_start(listing.listed);
    ASSERT_TRUE(std::holds_alternative<session::NotEditable>(changed));
    EXPECT_EQ(std::get<session::NotEditable>(changed).file, session::ListedFile::Changed);
    fs::remove(path);
    const auto gone = session::edit_start(listing.listed);
    ASSERT_TRUE(std::holds_alternative<session::NotEditable>(gone));
    EXPECT_EQ(std::get<session::NotEditable>(gone).file, session::ListedFile::Gone);
}

} // namespace
