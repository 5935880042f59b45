// The bytes of an image file, read as common::ReadOnlyFile reads them: with pread, never mapped, and only from a
// regular file, refused at once otherwise.
#pragma once

#include "common/file_read.h"
#include "image/sector_source.h"

#include <string>
#include <string_view>

namespace image {

class FileBytes : public ByteSource
{
public:
    // Opens the file read-only; failure() says why it did not open.
    explicit FileBytes(const std::string& path);

    bool is_open() const { return m_file.is_open(); }
    // Why the file did not open: the system's reason ("No such file or directory", "Is a directory"), or "not a
    // regular file". Meaningless while the file is open.
    const common::Error& failure() const { return m_failure; }

    // Size of the file when it was opened.
    std::uint64_t size() const override { return m_file.size(); }
    // Reads with pread; fewer bytes at the end of the file or on a read error.
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        return m_file.read_at(offset, out);
    }

private:
    common::ReadOnlyFile m_file;
    common::Error m_failure;
};

using common::NOT_A_REGULAR_FILE;

} // namespace image
