// New files written whole or not at all: the bytes go to a temporary file in the target's folder, which replaces
// the target by a rename only once everything was written and flushed. A failed or abandoned write leaves the old
// file as it was and no temporary file behind. Used for tapes, pictures, images, snapshots, exports and settings.
//
// The temporary file has a short hidden name of its own (".kestrel-XXXXXXXX.tmp", whatever the target's name, so a
// target of 255 bytes works), which no image pattern matches. It is removed when the program is stopped by SIGINT,
// SIGTERM or SIGHUP while it exists. SIGXFSZ is ignored, so that a write past the file size limit (ulimit -f) fails
// with "File too large" instead of killing the program.
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
    // Creates the temporary file for `path`. A target that is not a regular file (a folder, a device), one made
    // read-only (not writable for this user, or not for its owner: root does not write it either), or a folder
    // that cannot take a new file, leaves the AtomicFile not open.
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool is_open() const { return m_fd >= 0; }
    // errno of the failed creation or of the first failed write; 0 when all went well so far.
    int error() const { return m_error; }
    // Why the file could not be made or written, in words: "not a regular file" for a device or a pipe, "the file
    // is read-only", the folder named when it takes no new file, else the text of error() ("No space left on
    // device").
    std::string error_text() const;
    const std::string& path() const { return m_path; }

    // Appends bytes; after a failure later writes are dropped and commit() fails.
    void write(std::span<const std::uint8_t> bytes);
    void write(std::string_view text);

    // Gives the file the mode of the target it replaces (and, where the system allows it, its owner and group) and
    // flushes it to the disc, so that only the rename is left; false (nothing replaced) when anything failed.
    bool flush();
    // Flushes the file unless that was done, and renames it over the target; false (the target unchanged) when
    // anything failed.
    bool commit();

private:
    void discard();
    void write_bytes(const void* data, std::size_t size);

    std::string m_path;
    std::string m_temp_path;
    int m_fd = -1;
    int m_error = 0;
    int m_cleanup_slot = -1; // where the signal handler finds the temporary file's name
    bool m_flushed = false;
    enum class Refusal : std::uint8_t
    {
        None,
        NotRegular,
        ReadOnly,
        Folder, // the folder takes no new file
    } m_refusal = Refusal::None;
};

// Writes `bytes` as the whole new content of `path`; std::nullopt on success, else the reason in words.
std::optional<std::string> write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace common
