// The one way a command of kestrel-cli writes its output file.
#pragma once

#include "common/atomic_file.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace cli {

// An output file, made from its path, the files the command reads and --force. It refuses by itself: never over
// one of the inputs (the same file by any name: a symlink, a hard link, a path with "..", or the archive an
// ARCHIVE.zip/NAME input lies in), never over an existing file (or symlink, device...) without --force. It then
// makes the temporary file beside the target, so that a target that cannot be written is known before the work;
// the bytes replace the target only once all are written. Every refusal and failure is reported on err as
// "kestrel-cli: OUT: reason", and the command exits with EXIT_USAGE.
class Output
{
public:
    // std::nullopt, reported on err, when the file may not or cannot be written. `what` names it in messages
    // ("picture": "cannot write the picture: No space left on device").
    static std::optional<Output> open(const std::string& path, const std::vector<std::string>& inputs, bool force,
                                      const char* what, std::ostream& err);

    const std::string& path() const { return m_file.path(); }

    // Writes `bytes` as the whole file; false, reported on err, when that failed (the target is then unchanged).
    bool write(std::span<const std::uint8_t> bytes);

    // The open file, for a writer that writes as it goes and commits it itself (the tape conversion), which then
    // reports a failure it met with report_failure().
    common::AtomicFile& file() { return m_file; }
    void report_failure(const std::string& reason);

private:
    Output(common::AtomicFile file, const char* what, std::ostream& err);

    common::AtomicFile m_file;
    const char* m_what;
    std::ostream* m_err;
};

} // namespace cli
