// The container readers: real containers made by other tools, and built faults. The forms the real tools make of
// every real image are read through kestrel-cli in tests/cli/containers_cli_test.cpp.
#include "../tape/tool_run.h"
#include "image/dsk_source.h"
#include "image/gzip_reader.h"
#include "image/sad_source.h"
#include "image/zip_archive.h"
#include "support/dsk_builder.h"
#include "support/image_builder.h"
#include "support/packing.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <filesystem>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using common::Error;
using image::SectorStatus;
using testing_support::TempDir;

namespace {

fs::path container(const std::string& name)
{
    return testing_support::real_images_dir() / "containers" / name;
}

template <class... T> std::string failure_of(const std::variant<T...>& result)
{
    const auto* failure = std::get_if<common::Error>(&result);
    return failure != nullptr ? failure->text : "(opened)";
}

std::unique_ptr<image::MemoryDisc> decoded(std::variant<std::unique_ptr<image::MemoryDisc>, common::Error> result)
{
    auto* disc = std::get_if<std::unique_ptr<image::MemoryDisc>>(&result);
    EXPECT_NE(disc, nullptr) << failure_of(result);
    return disc != nullptr ? std::move(*disc) : nullptr;
}

Bytes unpacked(const std::variant<Bytes, common::Error>& result)
{
    EXPECT_TRUE(std::holds_alternative<Bytes>(result)) << failure_of(result);
    return std::holds_alternative<Bytes>(result) ? std::get<Bytes>(result) : Bytes{};
}

std::uint8_t track_byte(int track, int side)
{
    return static_cast<std::uint8_t>(track | (side != 0 ? image::SIDE_BIT : 0));
}

// Counts the sectors a source reads differently from a plain image in `layout`, or with a status other than Ok.
int sectors_unlike(image::SectorSource& source, const Bytes& plain, image::Layout layout)
{
    int unlike = 0;
    std::array<std::uint8_t, image::SECTOR_SIZE> sector{};
    for (int track = 0; track < image::TRACKS_PER_SIDE; ++track) {
        for (int side = 0; side < image::SIDES; ++side) {
            for (int index = 0; index < image::SECTORS_PER_TRACK; ++index) {
                const SectorStatus status = source.read_sector(track_byte(track, side), index, sector);
                const auto at = image::sector_offset(layout, track_byte(track, side), index);
                if (status != SectorStatus::Ok || !std::equal(sector.begin(), sector.end(), plain.begin() + at))
                    ++unlike;
            }
        }
    }
    return unlike;
}

// Sets the CRC and sizes of every entry record (local and central) of a zip the test made.
void patch_zip(Bytes& zip, std::optional<std::uint32_t> crc, std::optional<std::uint32_t> size)
{
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            zip[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    for (std::size_t at = 0; at + 4 <= zip.size(); ++at) {
        if (zip[at] != 'P' || zip[at + 1] != 'K' || zip[at + 3] != zip[at + 2] + 1)
            continue;
        const std::size_t crc_at = zip[at + 2] == 3 ? at + 14 : zip[at + 2] == 1 ? at + 16 : 0;
        if (crc_at == 0)
            continue;
        if (crc)
            put32(crc_at, *crc);
        if (size)
            put32(crc_at + 8, *size);
    }
}

void replace_all(Bytes& bytes, std::string_view from, std::string_view to)
{
    for (auto it = std::search(bytes.begin(), bytes.end(), from.begin(), from.end()); it != bytes.end();
         it = std::search(it, bytes.end(), from.begin(), from.end()))
        it = std::copy(to.begin(), to.end(), it);
}

} // namespace

TEST(RealContainers, SimCoupeDskGzipAndZipHoldTheSameDisc)
{
    const Bytes dsk = testing_support::read_file(container("image.dsk"));
    const auto disc = decoded(image::decode_dsk(dsk));
    ASSERT_NE(disc, nullptr);
    EXPECT_TRUE(disc->findings().empty());
    EXPECT_EQ(unpacked(image::gunzip(testing_support::read_file(container("image.dsk.gz")))), dsk);

    auto upper = image::open_zip(container("image_upper.zip").string());
    ASSERT_TRUE(std::holds_alternative<image::ZipArchive>(upper)) << failure_of(upper);
    auto& upper_zip = std::get<image::ZipArchive>(upper);
    ASSERT_EQ(upper_zip.images().size(), 1u);
    ASSERT_EQ(upper_zip.find("image.mgt").size(), 1u);
    const Bytes mgt = unpacked(upper_zip.read(*upper_zip.find("image.mgt").front()));
    // The same disc as the Extended DSK.
    EXPECT_EQ(sectors_unlike(*disc, mgt, image::Layout::Interleaved), 0);

    auto gz_zip = image::open_zip(container("image.mgt.gz.zip").string());
    ASSERT_TRUE(std::holds_alternative<image::ZipArchive>(gz_zip)) << failure_of(gz_zip);
    auto& gz = std::get<image::ZipArchive>(gz_zip);
    ASSERT_EQ(gz.images().size(), 1u);
    EXPECT_EQ(gz.images()[0].name, "image.mgt.gz");
    EXPECT_EQ(unpacked(image::gunzip(unpacked(gz.read(gz.images()[0])))).size(), image::IMAGE_BYTES);
}

TEST(DskReader, SectorsAreFoundByTheirIds)
{
    Bytes plain(image::IMAGE_BYTES);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<std::uint8_t>(i * 7 + i / image::SECTOR_SIZE);

    using testing_support::DskBuilder;
    auto reordered = DskBuilder().ids(0, 0, {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}).ids(7, 1, {1, 6, 2, 7, 3, 8, 4, 9, 5, 10});
    auto cpcemu = DskBuilder(80, 2, 10, 2, false).ids(3, 0, {5, 4, 3, 2, 1, 10, 9, 8, 7, 6});
    for (const Bytes& dsk : {reordered.build(plain), cpcemu.build(plain)}) {
        const auto disc = decoded(image::decode_dsk(dsk));
        ASSERT_NE(disc, nullptr);
        EXPECT_TRUE(disc->findings().empty());
        EXPECT_EQ(sectors_unlike(*disc, plain, image::Layout::Interleaved), 0);
    }
}

TEST(DskReader, DamagedTracksReadWhatTheyHoldAndSayWhatIsWrong)
{
    using testing_support::DskBuilder;
    const Bytes dsk = DskBuilder()
                          .ids(5, 1, {1, 2, 3, 5, 6, 7, 8, 9, 10, 3})
                          .status(5, 1, 7, 0x20, 0x20)
                          .ids(6, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 200})
                          .build();
    const auto disc = decoded(image::decode_dsk(dsk));
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->findings(), std::vector<std::string>{"track 5 side 1: sector 7 has a data error, sector 3 found "
                                                         "twice (the first is read), sector 4 missing"});
    std::array<std::uint8_t, image::SECTOR_SIZE> sector{};
    const std::array<std::uint8_t, image::SECTOR_SIZE> zeros{};
    EXPECT_EQ(disc->read_sector(track_byte(5, 1), 3, sector), SectorStatus::Missing);
    EXPECT_EQ(sector, zeros);
    EXPECT_EQ(disc->read_sector(track_byte(5, 1), 6, sector), SectorStatus::Unreadable);
    EXPECT_EQ(sector, zeros);
    EXPECT_EQ(disc->read_sector(track_byte(5, 1), 2, sector), SectorStatus::Ok);
    EXPECT_EQ(sector[0], testing_support::dsk_pattern_byte(5, 1, 3)); // the first copy, not the repeat's 0xEE
    EXPECT_EQ(disc->read_sector(track_byte(6, 0), 9, sector), SectorStatus::Ok); // IDs 11, 0, 200 are ignored
    EXPECT_EQ(sector[0], testing_support::dsk_pattern_byte(6, 0, 10));
}

TEST(DskReader, FileCutShortOrTrackTableBeyondItsEnd)
{
    const Bytes whole = testing_support::DskBuilder().build();
    // Cut inside the data of track 2 side 0 (the fifth track), then a table claiming larger tracks than there are.
    Bytes cut(whole.begin(), whole.begin() + 256 + 4 * 5376 + 256 + 3 * 512 + 100);
    Bytes oversized = whole;
    std::fill_n(oversized.begin() + image::dsk_disc::TRACK_SIZES, 160, std::uint8_t{0xFF});

    const auto cut_disc = decoded(image::decode_dsk(cut));
    ASSERT_NE(cut_disc, nullptr);
    EXPECT_EQ(cut_disc->findings(),
              (std::vector<std::string>{"track 2 side 0: sector 4 holds 100 bytes, sector 5 holds 0 bytes, sector 6 "
                                        "holds 0 bytes, sector 7 holds 0 bytes, sector 8 holds 0 bytes, sector 9 holds "
                                        "0 bytes, sector 10 holds 0 bytes",
                                        "the file ends before track 2 side 1: 155 tracks read as missing"}));
    std::array<std::uint8_t, image::SECTOR_SIZE> sector{};
    EXPECT_EQ(cut_disc->read_sector(track_byte(2, 0), 2, sector), SectorStatus::Ok);
    EXPECT_EQ(cut_disc->read_sector(track_byte(79, 1), 9, sector), SectorStatus::Missing);

    const auto oversized_disc = decoded(image::decode_dsk(oversized));
    ASSERT_NE(oversized_disc, nullptr);
    EXPECT_EQ(oversized_disc->findings().back(), "the file ends before track 7 side 0: 146 tracks read as missing");
    EXPECT_EQ(oversized_disc->read_sector(0, 0, sector), SectorStatus::Ok);
}

TEST(DskReader, OtherGeometriesAreRefusedByName)
{
    struct Case
    {
        testing_support::DskBuilder builder;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{40, 2, 9}, "Extended DSK of 40 tracks, 9 sectors per track: not an 800K +D/SAM disc"},
        {{80, 1, 10}, "Extended DSK of 80 tracks, 1 side, 10 sectors per track: not an 800K +D/SAM disc"},
        {{80, 2, 16, 1, false}, "CPCEMU DSK of 80 tracks, 16 sectors per track of 256 bytes: not an 800K +D/SAM disc"},
        {{0, 2, 10}, "Extended DSK holds no readable track: cut off or damaged"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failure_of(image::decode_dsk(c.builder.build())), c.reason);
}

TEST(SadReader, SectorsSideAfterSideBehindTheHeader)
{
    // Written by hand from the format's description: a 22-byte header ("Aley's disk backup", then sides, tracks,
    // sectors per track, sector size / 64), then side 0 tracks 0-79, then side 1, each track's sectors in order.
    // Each sector is filled with a mark of its side, track and sector, so a wrong order shows as a wrong mark.
    const std::string signature = "Aley's disk backup";
    auto mark = [](int side, int track, int sector) {
        return std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(0xA0 + side), static_cast<std::uint8_t>(track),
                                           static_cast<std::uint8_t>(0xC0 + sector)};
    };
    auto sad = [&](std::uint8_t sides, std::uint8_t tracks, std::uint8_t sectors, std::uint8_t size_64) {
        Bytes bytes(signature.begin(), signature.end());
        bytes.insert(bytes.end(), {sides, tracks, sectors, size_64});
        for (int side = 0; side < sides; ++side)
            for (int track = 0; track < tracks; ++track)
                for (int sector = 0; sector < sectors; ++sector)
                    for (int i = 0; i < size_64 * 64; ++i)
                        bytes.push_back(mark(side, track, sector)[static_cast<std::size_t>(i % 3)]);
        return bytes;
    };
    // Sectors whose content is not their mark: every one, or those a cut file lacks (which read as zeros).
    auto unmarked = [&](image::SectorSource& disc) {
        int count = 0;
        std::array<std::uint8_t, image::SECTOR_SIZE> out{};
        for (int side = 0; side < 2; ++side)
            for (int track = 0; track < 80; ++track)
                for (int sector = 0; sector < 10; ++sector) {
                    disc.read_sector(static_cast<std::uint8_t>(track | (side ? 0x80 : 0)), sector, out);
                    for (std::size_t i = 0; i < out.size(); ++i) {
                        if (out[i] != mark(side, track, sector)[i % 3]) {
                            ++count;
                            break;
                        }
                    }
                }
        return count;
    };
    const auto disc = decoded(image::decode_sad(sad(2, 80, 10, 8)));
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(unmarked(*disc), 0);

    Bytes cut = sad(2, 80, 10, 8);
    cut.resize(cut.size() - image::SIDE_BYTES);
    const auto cut_disc = decoded(image::decode_sad(cut));
    ASSERT_NE(cut_disc, nullptr);
    EXPECT_EQ(cut_disc->findings(),
              std::vector<std::string>{"the file is 409622 bytes, not 819222: the sectors it lacks read as missing"});
    EXPECT_EQ(unmarked(*cut_disc), 800);

    EXPECT_EQ(failure_of(image::decode_sad(sad(1, 80, 9, 8))),
              "SAD image of 80 tracks, 1 side, 9 sectors per track: not an 800K +D/SAM disc");
}

TEST(GzipReader, BombsCutsAndDamageAreRefused)
{
    TempDir dir;
    auto gzip = [&](const std::string& input_command) {
        const fs::path out = dir / "out.gz";
        EXPECT_EQ(testing_support::run_shell(input_command + " | gzip -c > " + out.string()).status, 0);
        return testing_support::read_file(out);
    };
    const Bytes bomb = gzip("head -c 5000000 /dev/zero");
    EXPECT_EQ(failure_of(image::gunzip(bomb)), "unpacks to more than 4 MiB: too large for a disc image");
    const Bytes good = gzip("seq 1 100000");
    EXPECT_EQ(unpacked(image::gunzip(good)).size(), 588895u);
    EXPECT_EQ(failure_of(image::gunzip(Bytes(good.begin(), good.end() - 100))),
              "packed data ends early: the file is cut off");
    Bytes bad_crc = good;
    bad_crc[bad_crc.size() - 8] ^= 1;
    EXPECT_EQ(failure_of(image::gunzip(bad_crc)), "packed data is damaged (incorrect data check)");
    // Members one after another unpack as one, as `gzip -d` does.
    Bytes twice = good;
    twice.insert(twice.end(), good.begin(), good.end());
    EXPECT_EQ(unpacked(image::gunzip(twice)).size(), 2 * 588895u);
}

TEST(ZipReader, HostileAndDamagedArchivesAreRefused)
{
    TempDir dir;
    const fs::path image_path = testing_support::real_images_dir() / "zx_screen.mgt";
    fs::create_directories(dir / "ab");
    fs::copy_file(image_path, dir / "ab" / "x.mgt");
    auto zip = [&](const std::string& options, const std::string& files) {
        fs::remove(dir / "out.zip");
        EXPECT_EQ(
            testing_support::run_shell("cd " + dir.path().string() + " && zip -q " + options + " out.zip " + files)
                .status,
            0);
        return testing_support::read_file(dir / "out.zip");
    };
    auto entry_problem = [](Bytes bytes) {
        auto archive = image::open_zip(std::move(bytes));
        if (auto* failure = std::get_if<common::Error>(&archive))
            return "open: " + failure->text;
        auto& opened = std::get<image::ZipArchive>(archive);
        if (opened.images().size() != 1)
            return std::string("images: ") + std::to_string(opened.images().size());
        return failure_of(opened.read(opened.images().front()));
    };

    const Bytes plain = zip("", "ab/x.mgt");
    EXPECT_EQ(entry_problem(plain), "(opened)");
    Bytes climbing = plain;
    replace_all(climbing, "ab/x.mgt", "../x.mgt");
    Bytes absolute = plain;
    replace_all(absolute, "ab/x.mgt", "/b/x.mgt");
    Bytes bad_crc = plain;
    patch_zip(bad_crc, 0x12345678, std::nullopt);
    Bytes huge = plain;
    patch_zip(huge, std::nullopt, 5000000);
    Bytes inflated = plain;
    patch_zip(inflated, std::nullopt, 2000000);
    Bytes longer = plain;
    patch_zip(longer, std::nullopt, 819300);
    Bytes shorter = plain;
    patch_zip(shorter, std::nullopt, 1000);

    const std::string leaves = "the name leaves the archive's folder (an absolute path or ..)";
    EXPECT_EQ(entry_problem(climbing), leaves);
    EXPECT_EQ(entry_problem(absolute), leaves);
    EXPECT_EQ(entry_problem(zip("-P secret", "ab/x.mgt")), "encrypted");
    EXPECT_EQ(entry_problem(bad_crc), "CRC error: the archive is damaged");
    EXPECT_EQ(entry_problem(huge), "declares 5000000 bytes: too large for a disc image");
    EXPECT_TRUE(entry_problem(inflated).starts_with("declares 2000000 bytes, more than its "))
        << entry_problem(inflated);
    EXPECT_EQ(entry_problem(longer), "holds 819200 bytes, not the 819300 it declares");
    // Data beyond the declared size is refused, even when the CRC is that of the declared bytes.
    EXPECT_EQ(entry_problem(shorter), "unpacks to more than the 1000 bytes it declares");
    const Bytes image = testing_support::read_file(image_path);
    patch_zip(shorter, static_cast<std::uint32_t>(crc32(0, image.data(), 1000)), std::nullopt);
    EXPECT_EQ(entry_problem(shorter), "unpacks to more than the 1000 bytes it declares");
    EXPECT_EQ(entry_problem(Bytes(plain.begin(), plain.end() - 30)), "open: not a zip archive, or damaged or cut off");

    for (int i = 0; i <= 1000; ++i)
        testing_support::write_file(dir / ("f" + std::to_string(i) + ".txt"), Bytes{1});
    EXPECT_EQ(entry_problem(zip("", "f*.txt")), "open: the archive holds 1001 entries, more than the 1000 read here");
}

TEST(GzipImage, TheStoredNameDecidesTheLayoutWhereTheFileNameDoesNot)
{
    TempDir dir;
    const Bytes plain = testing_support::ImageBuilder().bytes();
    using image::Layout;
    struct Case
    {
        const char* file;
        std::string stored;
        Layout layout;
        std::vector<std::string> notes = {}; // said, but no damage
    };
    const std::vector<Case> cases = {
        {"w.mgt.gz",
         "et.img",
         Layout::Sequential,
         {"layout taken from the stored name et.img, not from the file name"}},
        {"plain.gz", "et.img", Layout::Sequential},
        {"folder.gz", "C:\\discs/et.IMG", Layout::Sequential},
        {"same.IMG.gz", "same.img", Layout::Sequential},
        {"d.mgt.gz", "d.dsk", Layout::Interleaved},
        {"notes.mgt.gz", "notes.txt", Layout::Interleaved},
        {"unnamed.img.gz", "", Layout::Sequential},
        {"unnamed.gz", "", Layout::None},
    };
    for (const Case& c : cases) {
        testing_support::write_file(dir / c.file, testing_support::gzip_bytes(plain, c.stored));
        auto opened = image::open_image((dir / c.file).string());
        auto* image = std::get_if<image::OpenImage>(&opened);
        if (c.layout == Layout::None) {
            EXPECT_EQ(failure_of(opened), "not a disc image (the name inside must end in .mgt, .dsk, .img or .sad)");
            continue;
        }
        ASSERT_NE(image, nullptr) << c.file << ": " << failure_of(opened);
        EXPECT_EQ(image->layout, c.layout) << c.file;
        EXPECT_EQ(image->notes, c.notes) << c.file;
        EXPECT_TRUE(image->findings.empty()) << c.file;
    }
}

TEST(ZipImage, TwoImagesOfOneNameInAnyCaseAreAmbiguous)
{
    TempDir dir;
    const Bytes plain = testing_support::ImageBuilder().bytes();
    for (const char* name : {"GAME.MGT", "game.mgt", "gamf.mgt"})
        testing_support::write_file(dir / name, plain);
    ASSERT_EQ(testing_support::run_shell("cd " + dir.path().string() + " && zip -q both.zip GAME.MGT gamf.mgt && " +
                                         "zip -q cases.zip GAME.MGT game.mgt")
                  .status,
              0);
    // The same name twice, exactly: zip does not make it, so one name is made the other's in place.
    Bytes same = testing_support::read_file(dir / "both.zip");
    replace_all(same, "gamf.mgt", "GAME.MGT");
    testing_support::write_file(dir / "same.zip", same);

    const std::string reason = "the name is ambiguous: the archive holds 2 disc images named game.MGT in any case (";
    EXPECT_EQ(failure_of(image::open_image((dir / "same.zip/game.MGT").string())), reason + "GAME.MGT, GAME.MGT)");
    EXPECT_EQ(failure_of(image::open_image((dir / "cases.zip/game.MGT").string())), reason + "GAME.MGT, game.mgt)");
    EXPECT_EQ(failure_of(image::open_image((dir / "both.zip/gamf.MGT").string())), "(opened)");
    // The name a walk shows for each opens it: the one of exactly that name.
    EXPECT_EQ(failure_of(image::open_image((dir / "cases.zip/GAME.MGT").string())), "(opened)");
    EXPECT_EQ(failure_of(image::open_image((dir / "cases.zip/game.mgt").string())), "(opened)");
    EXPECT_EQ(failure_of(image::open_image((dir / "same.zip/GAME.MGT").string())),
              reason.substr(0, 61) + "GAME.MGT in any case (GAME.MGT, GAME.MGT)");
}
