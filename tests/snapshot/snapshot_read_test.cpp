// The .z80 and .sna readers against the writers and against snapconv (libspectrum), on the machine states of the
// two real snapshot discs: a file read back gives the state it was made of. A 48K .sna keeps the PC in the two
// bytes below SP, so those RAM bytes differ there, and it keeps IFF2 only.
#include "../tape/tool_run.h"
#include "image/directory.h"
#include "snapshot/plusd_snapshot.h"
#include "snapshot/snapshot_read.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

snapshot::Snapshot state_of(const std::string& disc_name)
{
    const auto disc = testing_support::open_source(testing_support::real_images_dir() / disc_name);
    for (const image::CatalogueRow& row : image::read_directory(*disc))
        if (snapshot::is_plusd_snapshot_type(row.type_code))
            return std::get<snapshot::Snapshot>(snapshot::read_plusd_snapshot(*disc, row.slot));
    return {};
}

void expect_same(const snapshot::Snapshot& want, const snapshot::Snapshot& got, bool sna)
{
    const auto& a = want.regs;
    const auto& b = got.regs;
    EXPECT_EQ(got.model, want.model);
    for (const auto& [x, y] : {std::pair{a.af, b.af},
                               {a.bc, b.bc},
                               {a.de, b.de},
                               {a.hl, b.hl},
                               {a.af_alt, b.af_alt},
                               {a.bc_alt, b.bc_alt},
                               {a.de_alt, b.de_alt},
                               {a.hl_alt, b.hl_alt},
                               {a.ix, b.ix},
                               {a.iy, b.iy},
                               {a.sp, b.sp},
                               {a.pc, b.pc}})
        EXPECT_EQ(x, y);
    EXPECT_EQ(a.i, b.i);
    EXPECT_EQ(a.r, b.r);
    EXPECT_EQ(a.iff2, b.iff2);
    if (!sna) {
        EXPECT_EQ(a.iff1, b.iff1);
    }
    EXPECT_EQ(a.interrupt_mode, b.interrupt_mode);
    EXPECT_EQ(want.border, got.border);
    EXPECT_EQ(want.paging, got.paging);
    std::vector<std::uint8_t> ram = want.ram;
    if (sna && want.model == snapshot::Model::Spectrum48K)
        for (int n = 1; n <= 2; ++n)
            ram[static_cast<std::size_t>(a.sp - n - snapshot::RAM_START)] =
                got.ram[static_cast<std::size_t>(a.sp - n - snapshot::RAM_START)];
    EXPECT_TRUE(ram == got.ram);
}

} // namespace

TEST(SnapshotRead, FilesOfTheWritersAndOfSnapconvGiveTheStateBack)
{
    const bool snapconv = testing_support::has_tool("snapconv");
    for (const char* disc : {"zx_snap_48k.mgt", "zx_snap_128k.mgt"}) {
        SCOPED_TRACE(disc);
        const snapshot::Snapshot state = state_of(disc);
        ASSERT_FALSE(state.ram.empty());
        for (const auto format : {snapshot::FileFormat::Z80, snapshot::FileFormat::Sna}) {
            const bool sna = format == snapshot::FileFormat::Sna;
            SCOPED_TRACE(sna ? "sna" : "z80");
            const auto bytes = snapshot::encode_file(state, format);
            const auto read = snapshot::decode_file(bytes, format);
            ASSERT_TRUE(std::holds_alternative<snapshot::Snapshot>(read)) << std::get<std::string>(read);
            expect_same(state, std::get<snapshot::Snapshot>(read), sna);
            if (!snapconv)
                continue;
            // snapconv writes the other format (and packs a .z80 its own way).
            testing_support::TempDir dir;
            const auto in = dir / (sna ? "in.sna" : "in.z80");
            const auto out = dir / (sna ? "out.z80" : "out.sna");
            testing_support::write_file(in, bytes);
            ASSERT_EQ(testing_support::run_command({"snapconv", in.string(), out.string()}).status, 0);
            const auto other = snapshot::decode_file(testing_support::read_file(out),
                                                     sna ? snapshot::FileFormat::Z80 : snapshot::FileFormat::Sna);
            ASSERT_TRUE(std::holds_alternative<snapshot::Snapshot>(other)) << std::get<std::string>(other);
            expect_same(state, std::get<snapshot::Snapshot>(other), true);
        }
    }
}

TEST(SnapshotRead, DamagedFilesAreRefused)
{
    const auto state = state_of("zx_snap_48k.mgt");
    auto z80 = snapshot::encode_file(state, snapshot::FileFormat::Z80);
    auto sna = snapshot::encode_file(state, snapshot::FileFormat::Sna);
    const std::vector<std::uint8_t> cut(z80.begin(), z80.end() - 100);
    auto plus3 = z80;
    plus3[34] = 7;
    sna.pop_back();
    for (const auto& [bytes, format] : {std::pair{cut, snapshot::FileFormat::Z80},
                                        {plus3, snapshot::FileFormat::Z80},
                                        {sna, snapshot::FileFormat::Sna}})
        EXPECT_TRUE(std::holds_alternative<std::string>(snapshot::decode_file(bytes, format)));
}
