// Reading files with pread, never mapped: a file that is cut short or rewritten while it is read gives fewer bytes
// (which the reader reports), never a signal. Only regular files open: a FIFO, a device or a socket is refused at
// once, before anything is read from it, so that nothing blocks or reads an endless stream. The words of every
// failure to read a file are stated here, once, for the images, the tapes and the settings alike.
#pragma once

#include "common/error.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace common {

// The reason given for a path that names no regular file (a FIFO, a device, a socket).
inline constexpr std::string_view NOT_A_REGULAR_FILE = "not a regular file";
// The reason given for a file that grew or shrank while it was read whole.
inline constexpr std::string_view CHANGED_WHILE_READ = "the file changed size while it was read";

// errno's text, as messages show it ("No such file or directory").
std::string error_text(int error);

// A regular file open for reading at any offset.
class ReadOnlyFile
{
public:
    // Opens the file read-only; failure() says why it did not open.
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool is_open() const { return m_fd >= 0; }
    // Why the file did not open: the system's reason ("No such file or directory", "Is a directory"), or
    // NOT_A_REGULAR_FILE. Empty while the file is open.
    const std::string& failure() const { return m_failure; }
    // Whether it did not open because it is no regular file (nor a folder).
    bool is_not_regular() const { return m_not_regular; }

    // Size of the file when it was opened.
    std::uint64_t size() const { return m_size; }
    // Reads with pread; fewer bytes at the end of the file or on a read error.
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out);

private:
    int m_fd = -1;
    std::string m_failure;
    bool m_not_regular = false;
    std::uint64_t m_size = 0;
};

// The bytes of the regular file at `path`, at most `cap` of them. Fails with the system's reason,
// NOT_A_REGULAR_FILE, "larger than 4 MiB: too large for WHAT" (both ErrorKind::Refused) or CHANGED_WHILE_READ.
Result<std::vector<std::uint8_t>> read_whole_file(const std::string& path, std::size_t cap, std::string_view what);

} // namespace common
