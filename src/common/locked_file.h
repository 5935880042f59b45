// An exclusive lock on a file that is about to be replaced by a rename, so that the programs that take it (every
// edit of kestrel-cli and of the window) change one file one at a time. The lock is flock's, on the file itself:
// it is granted on the file the path named when it was opened, so once it is granted the path is checked to
// still name that file (another editor may have renamed a new file over it meanwhile), and the file is opened and
// locked again when it does not. The holder then reads, compares and replaces the file, and lets go only after
// its rename: a second editor waiting for the lock then finds the path naming a new file and locks that one.
// Programs that do not take the lock are not held back by it. On a file system without locks (some network
// shares) the file is used unlocked.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace common {

class LockedFile
{
public:
    // Opens and locks the regular file at `path`, waiting up to `patience` for another holder to let go;
    // failure() says why not.
    explicit LockedFile(std::string path, std::chrono::milliseconds patience = std::chrono::seconds(30));
    ~LockedFile();
    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    bool is_locked() const { return m_fd >= 0; }
    const std::string& failure() const { return m_failure; }
    const std::string& path() const { return m_path; }

    // The file's number of names (hard links) and whether its owner may write it, as they are now; 0 and false
    // when they cannot be known.
    std::uint64_t links() const;
    bool owner_may_write() const;

    // The file's bytes as they are now, read through the lock whatever name the file has since; at most `cap`
    // bytes, std::nullopt on a read error.
    std::optional<std::vector<std::uint8_t>> read(std::size_t cap) const;
    // Whether the file holds exactly `bytes` now (no more, no less).
    bool holds(std::span<const std::uint8_t> bytes) const;

private:
    std::string m_path;
    std::string m_failure;
    int m_fd = -1;
};

} // namespace common
