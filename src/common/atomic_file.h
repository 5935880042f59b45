// New files written whole or not at all: the bytes go to a temporary file in the target's folder, which replaces
// the target by a rename only once everything was written and flushed. A failed or abandoned write leaves the old
// file as it was and no temporary file behind. Used for tapes, pictures, images, snapshots, exports and settings.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace common {

class AtomicFile
{
public:
    // Creates the temporary file for `path`. A target that is not a regular file (a folder, a device), one the user
    // made read-only, or a folder that cannot take a new file, leaves the AtomicFile not open.
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool is_open() const { return m_fd >= 0; }
    // errno of the failed creation or of the first failed write; 0 when all went well so far.
    int error() const { return m_error; }
    // Why the file could not be made or written, in words: "not a regular file" for a device or a pipe, else the
    // text of error() ("No space left on device").
    std::string error_text() const;
    const std::string& path() const { return m_path; }

    // Appends bytes; after a failure later writes are dropped and commit() fails.
    void write(std::span<const std::uint8_t> bytes);
    void write(std::string_view text);

    // Flushes the file and renames it over the target; false (the target unchanged) when anything failed.
    bool commit();

private:
    void discard();
    void write_bytes(const void* data, std::size_t size);

    std::string m_path;
    std::string m_temp_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_not_regular = false;
};

// Writes `bytes` as the whole new content of `path`; std::nullopt on success, else the reason in words.
std::optional<std::string> write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace common
