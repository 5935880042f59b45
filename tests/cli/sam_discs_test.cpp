// SAM, MasterDOS and BDOS discs read as their own tools read them. The expected values are mgtdisklib's (its tests'
// and its reading of these discs, run here over every SAM file: start, length, type, execution address and data
// agree for every file but the damaged chains, where it falls back on the sector map).
#include "cli_test_util.h"
#include "support/image_builder.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using testing_support::run_cli;

namespace {

using Json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

std::string sam_disc(const std::string& name)
{
    return (testing_support::real_images_dir() / "sam" / name).string();
}

Json listed(const std::string& image)
{
    const auto run = run_cli({"list", "--json", image});
    return Json::parse(run.out)["images"][0];
}

Bytes exported(const std::string& image, int slot, const testing_support::TempDir& dir)
{
    static int exports = 0;
    const auto out = dir / ("export" + std::to_string(++exports));
    const auto run = run_cli({"export", image, "--slot", std::to_string(slot), "-o", out.string()});
    EXPECT_EQ(run.code, 0) << image << " slot " << slot << ": " << run.err;
    return testing_support::read_file(out);
}

} // namespace

TEST(SamDiscs, DosKindNameAndDirectoryAsMgtdisklibReadsThem)
{
    struct Case
    {
        std::string disc, dos;
        Json label;
        int tracks, files, problems;
    };
    for (const Case& c : {Case{"sam_masterdos_5tracks.mgt", "masterdos", nullptr, 5, 98, 0},
                          Case{"sam_masterdos_label.mgt", "masterdos", "ABCDEFGHIJ", 4, 0, 0},
                          Case{"sam_bdos_label.mgt", "bdos", "ABCDEFGHIJKLMNOP", 4, 0, 0},
                          Case{"sam_etracker.mgt", "masterdos", "ETRACKER..", 4, 36, 2},
                          Case{"sam_basic_auto.mgt", "standard", nullptr, 4, 1, 0}}) {
        const Json image = listed(sam_disc(c.disc));
        EXPECT_EQ(image["dos"], c.dos) << c.disc;
        EXPECT_EQ(image["label"], c.label) << c.disc;
        EXPECT_EQ(image["directory_tracks"], c.tracks) << c.disc;
        EXPECT_EQ(image["files"].size(), static_cast<std::size_t>(c.files)) << c.disc;
        const auto check = run_cli({"check", "--json", sam_disc(c.disc)});
        EXPECT_EQ(Json::parse(check.out)["images"][0]["problems"], c.problems) << c.disc << check.out;
    }
    // MasterDOS leaves track 4 sector 1 out: files 1-98 in slots 0-97, slot 80 the first entry of track 4 sector 2.
    const Json five = listed(sam_disc("sam_masterdos_5tracks.mgt"));
    for (int slot : {0, 79, 80, 81, 97}) {
        EXPECT_EQ(five["files"][static_cast<std::size_t>(slot)]["slot"], slot);
        std::string name = five["files"][static_cast<std::size_t>(slot)]["name"];
        EXPECT_EQ(name.erase(name.find(' ')), std::to_string(slot + 1));
    }
}

TEST(SamDiscs, FilesShowTheFactsOfTheirEntries)
{
    struct Case
    {
        std::string disc;
        int slot, type, start, length;
        Json extra; // fields of the file's object that must match
    };
    for (const Case& c : {
             Case{"sam_driver_app.mgt", 0, 22, 32768, 10240, {{"time", "1993-12-05 23:48"}}},
             Case{"sam_basic_auto.mgt", 0, 16, 23765, 625, {{"autorun_line", 12345}, {"packed", false}}},
             Case{"sam_screen_mode2.mgt", 0, 20, 507904, 14377, {{"screen_mode", 2}}},
             Case{"sam_mbasic_compressed.mgt", 11, 20, 507904, 24617, {{"screen_mode", 4}, {"packed", true}}},
             // Type byte 0x33: SAM Code with bit 5 set, read as MasterDOS reads it.
             Case{"sam_etracker.mgt", 35, 19, 32768, 50481, {{"execute", nullptr}}},
         }) {
        const Json file = listed(sam_disc(c.disc))["files"][static_cast<std::size_t>(c.slot)];
        EXPECT_EQ(file["type"]["code"], c.type) << c.disc;
        EXPECT_EQ(file["start"], c.start) << c.disc;
        EXPECT_EQ(file["length"], c.length) << c.disc;
        for (const auto& [key, value] : c.extra.items())
            EXPECT_EQ(file[key], value) << c.disc << " " << key;
    }
}

// MasterBASIC's packed saves unpack to the plain saves of the same screens on the same disc: slots 4-7 packed by
// bytes, 8-11 by nibbles, of the MODE 1-4 screens in slots 0-3 (MODE 2 agrees up to the first 0xFF from byte 6144
// on, as mgtdisklib's tests compare it).
TEST(SamDiscs, PackedSavesUnpackToThePlainOnes)
{
    testing_support::TempDir dir;
    const std::string disc = sam_disc("sam_mbasic_compressed.mgt");
    for (int slot = 4; slot < 12; ++slot) {
        const Bytes plain = exported(disc, (slot - 4) % 4, dir);
        const Bytes unpacked = exported(disc, slot, dir);
        ASSERT_EQ(unpacked.size(), plain.size()) << slot;
        const std::size_t compared =
            slot % 4 == 1 ? static_cast<std::size_t>(std::find(unpacked.begin() + 6144, unpacked.end(), 0xFF) -
                                                     unpacked.begin()) +
                                1
                          : plain.size();
        EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(compared), unpacked.begin()))
            << slot;
    }
    const auto screen = run_cli({"screen", disc, "--slot", "11", "-o", (dir / "s.png").string()});
    EXPECT_EQ(screen.code, 0) << screen.err;
}

// A disc whose name gives the other layout is read in the layout its content shows, and says so; a disc whose
// content shows none keeps its name's.
TEST(SamDiscs, RawLayoutFollowsTheContentWhereItIsClear)
{
    testing_support::TempDir dir;
    const auto copy = [&](const std::filesystem::path& from, const std::string& name) {
        std::filesystem::copy_file(from, dir / name);
        return (dir / name).string();
    };
    const auto images = testing_support::real_images_dir();
    const std::string interleaved = (images / "sam" / "sam_etracker.mgt").string();
    const std::string sequential = (images / "sam-sequential.img").string();
    for (const auto& [original, renamed] :
         {std::pair{interleaved, copy(interleaved, "renamed.img")}, std::pair{sequential, copy(sequential, "x.mgt")}}) {
        const auto run = run_cli({"list", renamed});
        EXPECT_EQ(run.out, run_cli({"list", original}).out);
        EXPECT_NE(run.err.find("not where"), std::string::npos) << run.err;
        EXPECT_EQ(run.code, 0);
    }
    const std::string blank = (dir / "blank.img").string();
    testing_support::write_file(blank, Bytes(819200));
    EXPECT_EQ(run_cli({"list", blank}).err, "");
}
