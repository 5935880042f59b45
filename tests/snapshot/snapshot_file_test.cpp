// Emulator files read back, and machine states turned into +D snapshot files. The real +D snapshots are the
// oracle: written as .z80 and .sna, converted by snapconv (Fuse's own reader and writer, with its own packing),
// read back and encoded as +D files again, they must give the very entry registers and file bytes the disc holds.
#include "snapshot/plusd_snapshot.h"

#include "image/chain.h"
#include "image/directory.h"
#include "snapshot/snapshot.h"
#include "support/image_builder.h"
#include "tape/tool_run.h"

#include <gtest/gtest.h>

#include <variant>

using namespace testing_support;

namespace {

// The file bytes of slot 0 along its chain, cut to what a snapshot of its type holds.
std::vector<std::uint8_t> plusd_file_of(image::SectorSource& disc, const image::EntryBytes& entry)
{
    const image::DirectoryEntry e = image::decode_directory_entry(entry);
    std::vector<std::uint8_t> file;
    image::walk_chain(disc, {e.first_track, e.first_sector}, image::ChainRules{300, true},
                      [&](image::SectorView sector, int) {
                          file.insert(file.end(), sector.begin(), sector.begin() + image::data_sector::DATA_BYTES);
                          return true;
                      });
    file.resize(snapshot::plusd_file_bytes(e.type_code()));
    return file;
}

std::string refusal(const common::Result<image::DiscFile>& result)
{
    return std::holds_alternative<common::Error>(result) ? std::get<common::Error>(result).text : "";
}

} // namespace

TEST(SnapshotFile, RealPlusdSnapshotsComeBackByteForByteThroughZ80AndSnaAndSnapconv)
{
    const bool with_snapconv = has_tool("snapconv");
    const TempDir dir;
    for (const char* name : {"zx_snap_48k.mgt", "zx_snap_128k.mgt"}) {
        const auto disc = open_source(real_images_dir() / name);
        const image::EntryBytes entry = image::read_entry_bytes(*disc, 0);
        const std::vector<std::uint8_t> file = plusd_file_of(*disc, entry);
        const auto state = std::get<snapshot::Snapshot>(snapshot::read_plusd_snapshot(*disc, 0));

        std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
            {"z80", snapshot::encode_file(state, snapshot::FileFormat::Z80)},
            {"sna", snapshot::encode_file(state, snapshot::FileFormat::Sna)}};
        if (with_snapconv) {
            // Fuse's converter writes both formats with its own code. (From a 128K .sna it would guess a Pentagon,
            // so both start from the .z80, which names the machine.)
            write_file(dir / "ours.z80", files[0].second);
            ASSERT_EQ(run_command({"snapconv", (dir / "ours.z80").string(), (dir / "fuse.sna").string()}).status, 0);
            ASSERT_EQ(run_command({"snapconv", (dir / "ours.z80").string(), (dir / "fuse.z80").string()}).status, 0);
            files.push_back({"z80", read_file(dir / "fuse.z80")});
            files.push_back({"sna", read_file(dir / "fuse.sna")});
        }
        for (std::size_t n = 0; n < files.size(); ++n) {
            SCOPED_TRACE(std::string(name) + " file " + std::to_string(n));
            const auto format = files[n].first == "z80" ? snapshot::FileFormat::Z80 : snapshot::FileFormat::Sna;
            const auto decoded = snapshot::decode_file(files[n].second, format);
            ASSERT_TRUE(std::holds_alternative<snapshot::Snapshot>(decoded)) << std::get<common::Error>(decoded).text;
            const auto again = snapshot::encode_plusd_snapshot(std::get<snapshot::Snapshot>(decoded), "Snap A");
            ASSERT_EQ(refusal(again), "");
            const image::DiscFile& made = std::get<image::DiscFile>(again);
            EXPECT_EQ(made.body, file);
            // The entry from the status to the name, and the registers (220-241, but for the spare byte 238).
            for (const std::size_t at : {image::entry::STATUS, image::entry::NAME, image::entry::NAME + 9}) {
                EXPECT_EQ(made.entry[at], entry[at]) << "entry byte " << at;
            }
            for (std::size_t at = 220; at <= 241; ++at) {
                if (at != 238) {
                    EXPECT_EQ(made.entry[at], entry[at]) << "entry byte " << at;
                }
            }
        }
    }
}

TEST(SnapshotFile, StatesAndFilesTheInterfaceCouldNotHaveMadeAreRefusedWithTheReason)
{
    snapshot::Snapshot ok;
    ok.ram.assign(snapshot::RAM_BYTES_48K, 0);
    ok.regs.sp = 0x8000;
    ok.regs.i = 0x3F;
    ok.regs.interrupt_mode = 1;
    ASSERT_EQ(refusal(snapshot::encode_plusd_snapshot(ok, "x")), "");

    auto with = [&](auto change) {
        snapshot::Snapshot s = ok;
        change(s);
        return refusal(snapshot::encode_plusd_snapshot(s, "x"));
    };
    EXPECT_EQ(with([](auto& s) { s.regs.sp = 0x4005; }),
              "the stack pointer 0x4005 is too low: the interface pushes six bytes below it, and they would land in "
              "ROM");
    EXPECT_EQ(with([](auto& s) { s.regs.sp = 0; }), "");
    EXPECT_EQ(with([](auto& s) { s.regs.iff1 = true; }),
              "IFF1 and IFF2 differ, and the interface restores both from IFF2");
    EXPECT_EQ(with([](auto& s) { s.regs.interrupt_mode = 2; }),
              "the machine is in IM 2 with I = 63, but the interface would resume it in IM 1");
    EXPECT_EQ(with([](auto& s) {
                  s.model = snapshot::Model::Spectrum128K;
                  s.ram.assign(snapshot::RAM_BYTES_128K, 0);
                  s.paging = snapshot::paging::LOCKED;
              }),
              "the 128K's paging is locked (port 0x7FFD bit 5), so the interface could not page in the banks to save "
              "them");

    // Files: a +3 .z80, a page running past the end, a .sna of no known size.
    std::vector<std::uint8_t> z80 = snapshot::encode_file(ok, snapshot::FileFormat::Z80);
    auto decode_error = [](std::span<const std::uint8_t> bytes, snapshot::FileFormat format) {
        const auto result = snapshot::decode_file(bytes, format);
        return std::holds_alternative<common::Error>(result) ? std::get<common::Error>(result).text : "";
    };
    EXPECT_EQ(decode_error(z80, snapshot::FileFormat::Z80), "");
    std::vector<std::uint8_t> plus3 = z80;
    plus3[34] = 7;
    EXPECT_EQ(decode_error(plus3, snapshot::FileFormat::Z80),
              "the .z80 file is of a +3; only 48K and 128K Spectrum snapshots can be used");
    z80.resize(z80.size() - 1);
    EXPECT_EQ(decode_error(z80, snapshot::FileFormat::Z80).substr(0, 5), "page ");
    EXPECT_EQ(decode_error(std::vector<std::uint8_t>(1000), snapshot::FileFormat::Sna),
              "a .sna file is 49179 bytes (48K) or 131103 or 147487 (128K), not 1000");
}
