#include "image/host_kinds.h"

#include "common/path_text.h"

#include <algorithm>
#include <array>

namespace image {
namespace {

constexpr std::array<HostFileKind, 5> KINDS = {{
    {"tap", HostKind::Tape},
    {"tzx", HostKind::Tape},
    {"z80", HostKind::Snapshot},
    {"sna", HostKind::Snapshot},
    {"bas", HostKind::BasicText},
}};

} // namespace

std::span<const HostFileKind> host_file_kinds()
{
    return KINDS;
}

HostKind host_kind_of_name(std::string_view path)
{
    const std::string extension = common::lower_extension(path);
    const auto row =
        std::find_if(KINDS.begin(), KINDS.end(), [&](const HostFileKind& kind) { return kind.extension == extension; });
    return row == KINDS.end() ? HostKind::Code : row->kind;
}

std::vector<std::string_view> host_extensions(HostKind kind)
{
    std::vector<std::string_view> extensions;
    for (const HostFileKind& row : KINDS)
        if (row.kind == kind)
            extensions.push_back(row.extension);
    return extensions;
}

std::string host_pattern(std::span<const HostKind> kinds)
{
    std::string pattern;
    for (const HostFileKind& row : KINDS)
        if (std::find(kinds.begin(), kinds.end(), row.kind) != kinds.end())
            pattern.append(pattern.empty() ? "*." : ";*.").append(row.extension);
    return pattern;
}

} // namespace image
