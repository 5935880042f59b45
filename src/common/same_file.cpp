#include "common/same_file.h"

#include <filesystem>
#include <system_error>

namespace common {
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

} // namespace

std::string file_read_from(const std::string& input)
{
    return file_of(input).string();
}

bool replaces_input(const std::string& output, const std::string& input)
{
    const fs::path file = file_of(input);
    std::error_code error;
    if (fs::equivalent(file, output, error))
        return true;
    const fs::path canonical_file = fs::weakly_canonical(file, error);
    if (error)
        return false;
    const fs::path canonical_output = fs::weakly_canonical(output, error);
    return !error && canonical_file == canonical_output;
}

} // namespace common
