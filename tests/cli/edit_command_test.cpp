// kestrel-cli add, rm, rename and attr, in-process, over the real images: add of tapes onto a disc `make` made is
// `make` of all the tapes; files removed and added back give the same tape (tzxlist judges it); rm changes nothing
// but the freed entries and their sectors, and check finds nothing new; a SAM code file comes back whole through
// export; and every refusal leaves the image byte-identical.
#include "../tape/tool_run.h"
#include "cli_test_util.h"
#include "common/bytes.h"
#include "files/disc_edit.h"
#include "files/disc_save.h"
#include "image/directory.h"
#include "support/file_size_limit.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

fs::path copy_of(const fs::path& image, const TempDir& dir, const std::string& name)
{
    const fs::path copy = dir / (name + image.extension().string());
    fs::copy_file(image, copy, fs::copy_options::overwrite_existing);
    return copy;
}

// The slots the catalogue lists, in order.
std::vector<int> listed_slots(const fs::path& image)
{
    std::vector<int> slots;
    const auto list = run_cli({"list", image.string()});
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);)
        slots.push_back(std::stoi(line.substr(line.rfind('\t') + 1)));
    return slots;
}

std::vector<std::string> with_slots(std::vector<std::string> args, const std::vector<int>& slots)
{
    for (const int slot : slots) {
        args.emplace_back("--slot");
        args.push_back(std::to_string(slot));
    }
    return args;
}

std::size_t entry_offset(image::Layout layout, int slot)
{
    const image::SlotAddress at = image::slot_address(slot);
    return static_cast<std::size_t>(image::sector_offset(layout, at.track_byte, at.sector_index)) + at.offset;
}

// The ZX tape of the disc, or nothing when it has no ZX file.
Bytes tape_of(const fs::path& image, const TempDir& dir, const std::string& name)
{
    const fs::path tape = dir / (name + ".tap");
    run_cli({"tap", "--no-rewrite", image.string(), "-o", tape.string(), "--force"});
    return fs::exists(tape) ? read_file(tape) : Bytes{};
}

} // namespace

TEST(CliEdit, AddOfTapesOntoAMadeDiscIsMakeOfAllTheTapes)
{
    // The first tape: success.mgt's one file, or for success.mgt itself another whose name no image has.
    TempDir tapes;
    tape_of(testing_support::real_images_dir() / "success.mgt", tapes, "success");
    const fs::path other = testing_support::real_images_dir() / "reference-taps" / "ea5a.f42.tap";
    int compared = 0;
    for (const fs::path& real : testing_support::real_images()) {
        SCOPED_TRACE(real.filename().string());
        TempDir dir;
        if (tape_of(copy_of(real, dir, "real"), dir, "b").empty())
            continue;
        const std::string b = (dir / "b.tap").string();
        const fs::path first = real.filename() == "success.mgt" ? other : tapes / "success.tap";
        for (const char* ext : {".mgt", ".img"}) {
            const std::string edited = (dir / (std::string("edited") + ext)).string();
            const std::string whole = (dir / (std::string("whole") + ext)).string();
            ASSERT_EQ(run_cli({"make", edited, first.string()}).code, 0);
            const auto added = run_cli({"add", edited, b});
            EXPECT_EQ(added.code, 0) << added.err;
            ASSERT_EQ(run_cli({"make", whole, first.string(), b}).code, 0);
            EXPECT_EQ(read_file(edited), read_file(whole)) << ext;
        }
        ++compared;
    }
    EXPECT_EQ(compared, 10);
}

TEST(CliEdit, HalfTheFilesRemovedAndAddedBackGiveTheSameTape)
{
    const bool tzxlist = testing_support::has_tool("tzxlist");
    int round_trips = 0;
    for (const fs::path& real : testing_support::real_images()) {
        SCOPED_TRACE(real.filename().string());
        TempDir dir;
        const Bytes tape = tape_of(copy_of(real, dir, "real"), dir, "original");
        if (tape.empty())
            continue;
        const fs::path disc = dir / "made.mgt";
        ASSERT_EQ(run_cli({"make", disc.string(), (dir / "original.tap").string()}).code, 0);
        std::vector<int> half;
        for (const int slot : listed_slots(disc))
            if (slot % 2 == 1)
                half.push_back(slot);
        if (half.empty())
            half.push_back(0);
        const auto taken =
            run_cli(with_slots({"tap", "--no-rewrite", disc.string(), "-o", (dir / "half.tap").string()}, half));
        ASSERT_EQ(taken.code, 0) << taken.err;
        const auto removed = run_cli(with_slots({"rm", disc.string()}, half));
        ASSERT_EQ(removed.code, 0) << removed.err;
        const auto added = run_cli({"add", disc.string(), (dir / "half.tap").string()});
        ASSERT_EQ(added.code, 0) << added.err;
        EXPECT_EQ(tape_of(disc, dir, "again"), tape);
        if (tzxlist) {
            EXPECT_EQ(testing_support::run_tool("tzxlist", dir / "again.tap").status, 0);
        }
        ++round_trips;
    }
    EXPECT_EQ(round_trips, 10);
}

// rm of every other listed file of each real image, with and without --wipe, written to a copy with -o. The bytes
// are compared one by one: a byte may differ only in a removed slot's entry, at its status byte or in its sector
// map (or, in slot 0, the byte MasterDOS reads as the number of extra directory tracks), or (--wipe) in a data sector
// that is zero afterwards and that no file left on the disc names in its map. check of the result prints no line that
// check of the original did not.
TEST(CliEdit, RmChangesOnlyTheFreedEntriesAndTheirSectors)
{
    int images = 0;
    for (const fs::path& real : testing_support::real_images()) {
        const auto layout = image::layout_from_path(real.string());
        if (layout == image::Layout::None || fs::file_size(real) != static_cast<std::uintmax_t>(image::IMAGE_BYTES))
            continue;
        SCOPED_TRACE(real.filename().string());
        std::vector<int> removed;
        const std::vector<int> listed = listed_slots(real);
        for (std::size_t i = 0; i < listed.size(); i += 2)
            removed.push_back(listed[i]);
        if (removed.empty())
            continue;
        const Bytes before = read_file(real);
        for (const bool wipe : {false, true}) {
            TempDir dir;
            const fs::path out = dir / ("out" + real.extension().string());
            std::vector<std::string> args = with_slots({"rm", real.string(), "-o", out.string(), "--force"}, removed);
            if (wipe)
                args.emplace_back("--wipe");
            const auto rm = run_cli(args);
            ASSERT_EQ(rm.code, 0) << rm.err;
            const Bytes after = read_file(out);
            ASSERT_EQ(after.size(), before.size());

            std::set<std::size_t> allowed;
            for (const int slot : removed) {
                const std::size_t at = entry_offset(layout, slot);
                allowed.insert(at + image::entry::STATUS);
                if (slot == 0)
                    allowed.insert(at + image::entry::EXTRA_DIRECTORY_TRACKS);
                for (std::size_t b = 0; b < image::entry::SECTOR_MAP_LEN; ++b)
                    allowed.insert(at + image::entry::SECTOR_MAP + b);
            }
            std::vector<bool> named(image::DATA_SECTORS, false); // by the files left
            for (const int slot : listed) {
                if (std::find(removed.begin(), removed.end(), slot) != removed.end())
                    continue;
                const std::size_t at = entry_offset(layout, slot) + image::entry::SECTOR_MAP;
                for (int i = 0; i < image::DATA_SECTORS; ++i)
                    if ((before[at + static_cast<std::size_t>(i / 8)] >> (i % 8)) & 1)
                        named[static_cast<std::size_t>(i)] = true;
            }
            int wiped = 0;
            for (int i = 0; i < image::DATA_SECTORS; ++i) {
                const auto where = image::data_sector_address(i);
                const auto at =
                    static_cast<std::size_t>(image::sector_offset(layout, where.track_byte, where.number - 1));
                if (!std::equal(before.begin() + static_cast<std::ptrdiff_t>(at),
                                before.begin() + static_cast<std::ptrdiff_t>(at + image::SECTOR_SIZE),
                                after.begin() + static_cast<std::ptrdiff_t>(at))) {
                    EXPECT_TRUE(wipe) << "sector " << i;
                    EXPECT_FALSE(named[static_cast<std::size_t>(i)]) << "sector " << i;
                    EXPECT_TRUE(std::all_of(after.begin() + static_cast<std::ptrdiff_t>(at),
                                            after.begin() + static_cast<std::ptrdiff_t>(at + image::SECTOR_SIZE),
                                            [](std::uint8_t b) { return b == 0; }));
                    for (std::size_t b = 0; b < image::SECTOR_SIZE; ++b)
                        allowed.insert(at + b);
                    ++wiped;
                }
            }
            for (std::size_t i = 0; i < before.size(); ++i)
                if (before[i] != after[i]) {
                    ASSERT_TRUE(allowed.count(i)) << "byte " << i << " changed";
                }

            auto findings = [](const std::string& text) {
                std::multiset<std::string> lines;
                std::istringstream in(text);
                std::string line;
                std::getline(in, line); // "Scanning file: ..."
                for (; std::getline(in, line);)
                    if (line.rfind("On image ", 0) != 0 && !line.empty())
                        lines.insert(line);
                return lines;
            };
            const auto old_lines = findings(run_cli({"check", real.string()}).out);
            for (const std::string& line : findings(run_cli({"check", out.string()}).out))
                EXPECT_TRUE(old_lines.count(line)) << "new finding: " << line;
        }
        ++images;
    }
    EXPECT_GE(images, 20);
}

// A SAM code file at 0x1C009 (16 KiB unit 7, offset 9: the entry keeps page 7 - 1 = 6 and the offset as 0x8009),
// of 40,000 bytes (2 whole pages and 7,232 = 0x1C40 more), executed at 0x1C100 (kept as page 7, offset 0x8100: an
// execution address takes no "less one", as samfile writes it and SimCoupe's auto-run code reads it), with the
// file header copied into entry bytes 211-219.
TEST(CliEdit, SamCodeComesBackThroughExportWithTheEntryOfSamdos)
{
    TempDir dir;
    Bytes data(40000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    testing_support::write_file(dir / "prog.bin", data);
    const fs::path disc = dir / "sam.mgt";
    testing_support::write_file(disc, Bytes(static_cast<std::size_t>(image::IMAGE_BYTES)));
    const auto added =
        run_cli({"add", disc.string(), (dir / "prog.bin").string(), "--sam", "--start", "0x1C009", "--exec", "114944"});
    ASSERT_EQ(added.code, 0) << added.err;
    EXPECT_EQ(added.out, "slot 0: added \"prog\" (SAM Code (19), 40,000 bytes, 79 sectors) from " +
                             (dir / "prog.bin").string() + "\n");
    EXPECT_EQ(run_cli({"list", disc.string()}).out, "prog      \t114697\t40000\t\tSAM Code (19)\t1\t4\t79\t0\n");
    ASSERT_EQ(run_cli({"export", disc.string(), "--slot", "0", "-o", (dir / "back.bin").string()}).code, 0);
    EXPECT_EQ(read_file(dir / "back.bin"), data);

    const Bytes image = read_file(disc);
    const Bytes entry(image.begin(), image.begin() + 256);
    EXPECT_EQ(entry[0], 19);
    EXPECT_EQ(Bytes(entry.begin() + 236, entry.begin() + 245),
              (Bytes{0x06, 0x09, 0x80, 0x02, 0x40, 0x1C, 0x07, 0x00, 0x81}));
    EXPECT_EQ(Bytes(entry.begin() + 211, entry.begin() + 220),
              (Bytes{19, 0x40, 0x1C, 0x09, 0x80, 0xFF, 0xFF, 0x02, 0x06}));
    EXPECT_NE(run_cli({"list", "--json", disc.string()}).out.find("\"execute\": 114944"), std::string::npos);
    const auto first = static_cast<std::size_t>(image::sector_offset(image::Layout::Interleaved, 4, 0));
    EXPECT_EQ(Bytes(image.begin() + static_cast<std::ptrdiff_t>(first),
                    image.begin() + static_cast<std::ptrdiff_t>(first + 9)),
              (Bytes{19, 0x40, 0x1C, 0x09, 0x80, 0xFF, 0xFF, 0x02, 0x06}));
    EXPECT_EQ(run_cli({"check", disc.string()}).code, 0);
}

// Every refusal and failure leaves the image byte-identical, says why, and leaves no temporary file behind. The
// image changed on disc since it was read is the core's case: the edit is made of the bytes read, then the file
// changes, then save_disc is asked to write the edit.
TEST(CliEdit, EveryFailureLeavesTheImageAsItWas)
{
    TempDir dir;
    const fs::path big = dir / "big.bin";
    testing_support::write_file(big, Bytes(400000, 0xAA)); // 785 sectors: a second one does not fit
    const fs::path small = dir / "small.bin";
    testing_support::write_file(small, Bytes(100, 1));
    const fs::path tape = testing_support::real_images_dir() / "reference-taps" / "ea5a.f42.tap";
    std::vector<std::string> eighty;
    for (int n = 0; n < 80; ++n) {
        eighty.push_back((dir / ("f" + std::to_string(n))).string());
        testing_support::write_file(eighty.back(), Bytes(10, static_cast<std::uint8_t>(n)));
    }

    enum class Way
    {
        Cli,
        FullDisc,      // the file size limit makes the write fail
        Container,     // the image is a zip
        ChangedOnDisc, // the file changes between the read and the write
    };
    struct Case
    {
        const char* name;
        std::vector<std::string> setup; // add arguments after IMAGE, run first
        std::vector<std::string> edit;  // the command, then its arguments after IMAGE
        int code;
        std::string message;
        Way way = Way::Cli;
    };
    const std::string b = big.string();
    const std::vector<Case> cases = {
        {"no room for sectors",
         {b, "--sam"},
         {"add", b, "--sam", "--name", "big2"},
         1,
         "needs 10 more free sectors: 785 needed, 775 free; nothing changed"},
        {"no free slot",
         eighty,
         {"add", small.string()},
         1,
         "needs 1 more directory slot: 1 file, 0 free slots; nothing changed"},
        {"name taken by add",
         {tape.string()},
         {"add", small.string(), "--name", "EA5A.F42"},
         1,
         "the name \"EA5A.F42\" is taken by slot 0; nothing changed"},
        {"name taken by rename",
         {tape.string(), small.string()},
         {"rename", "--slot", "1", "ea5a.f42"},
         1,
         "the name \"ea5a.f42\" is taken by slot 0; nothing changed"},
        {"no file in the slot", {tape.string()}, {"rm", "--slot", "5"}, 1, "no file in slot 5; nothing changed"},
        {"write error", {tape.string()}, {"rm", "--slot", "0"}, 2, "cannot write", Way::FullDisc},
        {"a container in place", {}, {"rm", "--slot", "0"}, 2, "is not rewritten in place", Way::Container},
        {"changed on disc",
         {tape.string()},
         {},
         -1,
         "changed on disc since it was read; nothing written",
         Way::ChangedOnDisc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path disc = dir / "disc.mgt";
        testing_support::write_file(disc, Bytes(static_cast<std::size_t>(image::IMAGE_BYTES)));
        if (!c.setup.empty()) {
            std::vector<std::string> setup = {"add", disc.string()};
            setup.insert(setup.end(), c.setup.begin(), c.setup.end());
            ASSERT_EQ(run_cli(setup).code, 0);
        }
        if (c.way == Way::Container) {
            disc = dir / "disc.zip";
            testing_support::write_file(disc, testing_support::kind_sample("zip"));
        }
        testing_support::CliResult result{-1, "", ""};
        if (c.way == Way::ChangedOnDisc) {
            const files::DiscValue read{read_file(disc), image::Layout::Interleaved};
            const auto edited = files::rename_file(read, 0, "other");
            ASSERT_TRUE(std::holds_alternative<files::Edited>(edited));
            Bytes changed = read.bytes;
            changed[300000] ^= 0xFF;
            testing_support::write_file(disc, changed);
            result.err = files::save_disc(disc.string(), read, std::get<files::Edited>(edited).disc).text;
        }
        const Bytes before = read_file(disc);
        if (c.way != Way::ChangedOnDisc) {
            std::vector<std::string> args = {c.edit.front(), disc.string()};
            args.insert(args.end(), c.edit.begin() + 1, c.edit.end());
            std::optional<testing_support::FileSizeLimit> limit;
            if (c.way == Way::FullDisc)
                limit.emplace(1000);
            result = run_cli(args);
        }
        EXPECT_EQ(result.code, c.code) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(read_file(disc), before);
        for (const auto& file : fs::directory_iterator(dir.path()))
            EXPECT_TRUE(file.path() == disc || file.path().string().find(".mgt.") == std::string::npos)
                << "left behind: " << file.path();
        fs::remove(disc);
    }
}
