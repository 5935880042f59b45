// The bytes of an image file, read with pread, never mapped: a file that is cut short or rewritten while it is
// read gives fewer bytes (which the reader reports), never a signal. Only regular files open: a FIFO, a device or
// a socket under an image's name is refused at once, before anything is read from it, so that nothing blocks or
// reads an endless stream.
#pragma once

#include "image/sector_source.h"

#include <string>
#include <string_view>

namespace image {

class FileBytes : public ByteSource
{
public:
    // Opens the file read-only; failure() says why it did not open.
    explicit FileBytes(const std::string& path);
    ~FileBytes() override;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool is_open() const { return m_fd >= 0; }
    // Why the file did not open: the system's reason ("No such file or directory", "Is a directory"), or "not a
    // regular file". Meaningless while the file is open.
    const OpenFailure& failure() const { return m_failure; }

    // Size of the file when it was opened.
    std::uint64_t size() const override { return m_size; }
    // Reads with pread; fewer bytes at the end of the file or on a read error.
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    int m_fd = -1;
    OpenFailure m_failure;
    std::uint64_t m_size = 0;
};

// errno text for a failed open, as the command line shows it.
std::string open_error_text(int error);

// The reason given for a path that names no regular file (a FIFO, a device, a socket).
inline constexpr std::string_view NOT_A_REGULAR_FILE = "not a regular file";

} // namespace image
