// Whether a file about to be written is one that is read: the same file by whatever name.
#pragma once

#include <string>

namespace common {

// The file an input is read from: `input` itself, or for a path inside a file (ARCHIVE.zip/NAME, a path that does
// not exist as such) the archive.
std::string file_read_from(const std::string& input);

// Whether writing `output` would replace the file that `input` is read from. That file is `input` itself, or for
// a path inside a file (an archive's member, ARCHIVE.zip/NAME) the archive. Two paths name the same file when
// they have the same device and inode (symlinks, hard links, ".."), or, where one does not exist, the same
// canonical path.
bool replaces_input(const std::string& output, const std::string& input);

} // namespace common
