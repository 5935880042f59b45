// The kinds of host file the program reads besides disc images, in one table: tapes, snapshots and BASIC text, by
// their extensions. Adding files to a disc, the snapshot formats, and the window's and the page's file choosers ask
// this table; any other file is added as code.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace image {

enum class HostKind
{
    Tape,      // its standard files go on the disc as `make` lays them
    Snapshot,  // a 48K or 128K snapshot, saved on the disc as the +D's
    BasicText, // a program as text, tokenised
    Code,      // any other file: its bytes as one code file
};

struct HostFileKind
{
    std::string_view extension; // lower case, without the point
    HostKind kind;
};

// Every kind with an extension, tapes first, then snapshots, then BASIC text.
std::span<const HostFileKind> host_file_kinds();

// The kind a file name (any case) names by its extension; Code for any other.
HostKind host_kind_of_name(std::string_view path);

// The extensions of a kind, in the table's order: "z80", "sna" for the snapshots.
std::vector<std::string_view> host_extensions(HostKind kind);

// The name filter of some kinds, in the table's order: "*.tap;*.tzx" for the tapes.
std::string host_pattern(std::span<const HostKind> kinds);

} // namespace image
