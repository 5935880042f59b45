// The bytes of an image file, mapped into memory read-only for the length of one operation. Mapping costs no
// copy: a listing touches only the pages of the directory, a scan the pages its chains visit, and the page cache
// serves them. Only the first IMAGE_BYTES of a longer file are ever looked at; a file that cannot be mapped (a
// device, an empty file) is read with pread instead.
#pragma once

#include "image/sector_source.h"

#include <string>

namespace image {

class FileBytes : public ByteSource
{
public:
    // Opens the file read-only; open_error() says why it did not open. A folder does not open (EISDIR).
    explicit FileBytes(const std::string& path);
    ~FileBytes() override;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool is_open() const { return m_fd >= 0; }
    // errno of a failed open; 0 when the file is open.
    int open_error() const { return m_error; }
    // Size of the file when it was opened.
    std::int64_t size() const { return m_size; }

    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override;
    const std::uint8_t* view_at(std::uint64_t offset, std::size_t size) override;

private:
    int m_fd = -1;
    int m_error = 0;
    std::int64_t m_size = 0;
    const std::uint8_t* m_map = nullptr;
    std::size_t m_mapped = 0;
};

// errno text for a failed open, as the command line shows it.
std::string open_error_text(int error);

} // namespace image
