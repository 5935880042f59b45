#include "cli/output.h"

#include "cli/commands.h"
#include "common/same_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace cli {

std::optional<Output> Output::open(const std::string& path, const std::vector<std::string>& inputs, bool force,
                                   const char* what, std::ostream& err)
{
    for (const std::string& input : inputs) {
        if (common::replaces_input(path, input)) {
            report(err, path, "is also an input (" + input + ")");
            return std::nullopt;
        }
    }
    std::error_code error;
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
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
