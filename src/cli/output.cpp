#include "cli/output.h"

#include "cli/commands.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace cli {
namespace {

namespace fs = std::filesystem;

// The file an input is read from: the input itself, or for ARCHIVE.zip/NAME (a path that does not exist as such)
// the archive it names.
fs::path file_of(const fs::path& input)
{
    std::error_code error;
    fs::path at = input;
    while (!fs::exists(at, error) && at.has_parent_path() && at.parent_path() != at)
        at = at.parent_path();
    return fs::is_regular_file(at, error) ? at : input;
}

// Whether two paths name the same file: the same device and inode where both exist, else the same canonical path
// (symlinks and ".." resolved as far as the path exists).
bool same_file(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    if (fs::equivalent(a, b, error))
        return true;
    const fs::path canonical_a = fs::weakly_canonical(a, error);
    if (error)
        return false;
    const fs::path canonical_b = fs::weakly_canonical(b, error);
    return !error && canonical_a == canonical_b;
}

} // namespace

std::optional<Output> Output::open(const std::string& path, const std::vector<std::string>& inputs, bool force,
                                   const char* what, std::ostream& err)
{
    for (const std::string& input : inputs) {
        if (same_file(file_of(input), path)) {
            report(err, path, "is also an input (" + input + ")");
            return std::nullopt;
        }
    }
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!force && fs::exists(status)) {
        report(err, path, "exists (use --force to replace it)");
        return std::nullopt;
    }
    Output output(common::AtomicFile(path), what, err);
    if (!output.m_file.is_open()) {
        output.report_failure(output.m_file.error_text());
        return std::nullopt;
    }
    return output;
}

Output::Output(common::AtomicFile file, const char* what, std::ostream& err)
    : m_file(std::move(file)), m_what(what), m_err(&err)
{}

bool Output::write(std::span<const std::uint8_t> bytes)
{
    m_file.write(bytes);
    if (m_file.commit())
        return true;
    report_failure(m_file.error_text());
    return false;
}

void Output::report_failure(const std::string& reason)
{
    report(*m_err, path(), std::string("cannot write the ") + m_what + ": " + reason);
}

} // namespace cli
