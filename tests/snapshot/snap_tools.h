// What the Fuse utilities say about a snapshot file: snapdump's registers and RAM page digests, snapconv's
// conversions, and sha1sum's digest of the bytes a page should hold. They read .z80 and .sna independently of
// this program.
#pragma once

#include "support/image_builder.h"
#include "tape/tool_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <span>
#include <sstream>
#include <string>

namespace testing_support {

inline bool has_snapshot_tools()
{
    return has_tool("snapdump") && has_tool("snapconv") && has_tool("sha1sum");
}

// snapdump's "NAME: VALUE" lines of the REGISTERS part (PC, SP, AF, ..., IFF1, IM) and its "ram_page_N" digests.
struct SnapDump
{
    std::map<std::string, std::string> registers;
    std::map<int, std::string> pages; // bank or page number -> SHA-1
    std::string machine;
    std::string output;
};

inline SnapDump snapdump(const std::filesystem::path& file)
{
    static const std::regex register_line(R"(^([A-Z][A-Za-z0-9']*(?: [a-z]+)*):\s+(\S+)$)");
    static const std::regex page_line(R"(^ram_page_([0-9]+) size: 0x4000, sha1: ([0-9a-f]{40})$)");
    static const std::regex machine_line(R"(^machine: (.*)$)");
    SnapDump dump;
    dump.output = run_tool("snapdump", file).output;
    std::istringstream lines(dump.output);
    bool in_registers = false;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line == "REGISTERS" || line == "RAM PAGES")
            in_registers = line == "REGISTERS";
        else if (std::regex_match(line, m, page_line))
            dump.pages[std::stoi(m[1])] = m[2];
        else if (std::regex_match(line, m, machine_line))
            dump.machine = m[1];
        else if (in_registers && std::regex_match(line, m, register_line))
            dump.registers[m[1]] = m[2];
    }
    return dump;
}

// Converts `from` into `to` with snapconv (the formats from the extensions); true on success.
inline bool snapconv(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::string quoted = "'";
    for (const char c : from.string())
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return run_tool("snapconv " + quoted + "'", to).status == 0;
}

// sha1sum's digest of the bytes.
inline std::string sha1_of(std::span<const std::uint8_t> bytes)
{
    const TempDir dir;
    write_file(dir / "page", bytes);
    return run_tool("sha1sum <", dir / "page").output.substr(0, 40);
}

// Checks a .z80 and a .sna of one snapshot against the Fuse utilities: snapdump shows `registers` and `pages` in
// both, snapconv turns the .z80 into this very .sna, and the .sna back into a .z80 of the same registers and RAM.
inline void expect_fuse_tools_agree(const std::filesystem::path& z80, const std::filesystem::path& sna,
                                    const std::map<std::string, std::string>& registers,
                                    const std::map<int, std::string>& pages)
{
    const SnapDump from_z80 = snapdump(z80);
    EXPECT_EQ(from_z80.registers, registers) << from_z80.output;
    EXPECT_EQ(from_z80.pages, pages);
    const SnapDump from_sna = snapdump(sna);
    EXPECT_EQ(from_sna.registers, registers) << from_sna.output;
    EXPECT_EQ(from_sna.pages, pages);

    const auto converted_sna = z80.parent_path() / (z80.stem().string() + "-conv.sna");
    ASSERT_TRUE(snapconv(z80, converted_sna));
    EXPECT_EQ(read_file(converted_sna), read_file(sna));
    const auto back = z80.parent_path() / (z80.stem().string() + "-back.z80");
    ASSERT_TRUE(snapconv(sna, back));
    const SnapDump round_trip = snapdump(back);
    EXPECT_EQ(round_trip.registers, registers);
    EXPECT_EQ(round_trip.pages, pages);
}

} // namespace testing_support
