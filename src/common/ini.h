// A small reader and writer for files of the ini kind, as used by the settings file. Reading accepts what hand
// editors produce: any mix of CR and LF line ends, a UTF-8 byte-order mark, comments, blanks around "=", keys and
// group names in any case of A-Z. Writing produces "[group]" and "key = value" lines ending in CR LF, with no
// byte-order mark. Nothing is ever reported: a file that cannot be read is an empty document, and a file that
// cannot be written keeps its old contents. The file is replaced by renaming a finished temporary file over it,
// so an interrupted or failed write never leaves a short or empty file behind. POSIX file calls only.
#pragma once

#include "common/atomic_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

enum class IniEncoding
{
    Ansi, // the program's own 8-bit text
    Utf8, // the file began with a UTF-8 byte-order mark
};

// One parsed ini file, bound to its path. Blank lines are not kept. Move-only: a created document may hold the
// temporary file that will replace its target, and removes it when dropped without a successful close.
class IniDocument
{
public:
    IniDocument() = default;
    IniDocument(IniDocument&& other) noexcept;
    IniDocument& operator=(IniDocument&& other) noexcept;
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    IniEncoding encoding() const { return m_encoding; }

    friend IniDocument ini_open(const std::string& path);
    friend IniDocument ini_create(const std::string& path);
    friend void ini_select_group(IniDocument& ini, std::string_view name);
    friend std::string ini_read_text(const IniDocument& ini, std::string_view key, std::string_view default_text);
    friend std::int32_t ini_read_number(const IniDocument& ini, std::string_view key, std::int32_t default_number);
    friend void ini_write_text(IniDocument& ini, std::string_view key, std::string_view value);
    friend bool ini_close(IniDocument& ini);

private:
    enum class Kind
    {
        Group,   // text: the name between the brackets
        Comment, // text: what follows "; "
        Entry,   // text: the key; value: the value, trailing blanks still on it
    };
    struct Line
    {
        Kind kind;
        std::string text;
        std::string value;
    };
    enum class Selection
    {
        None,
        Header,  // m_group_line is the index of the header line
        Pending, // m_pending_group names a group that has no header yet
    };

    std::size_t find_entry(std::string_view key) const;
    std::string file_text() const;

    std::vector<Line> m_lines;
    Selection m_selection = Selection::None;
    std::size_t m_group_line = 0;
    std::string m_pending_group;
    IniEncoding m_encoding = IniEncoding::Ansi;
    bool m_written = false;
    bool m_bound = false; // false for a closed document and one whose file could not be created
    std::string m_path;
    std::optional<AtomicFile> m_file; // the replacement being written
};

// Reads the file at path into a new document; a missing or unreadable file gives an empty one. Creates nothing.
IniDocument ini_open(const std::string& path);

// Starts an empty document that will replace the file at path when closed. When the file could not be written
// (folder or file not writable) the document is inert: selects, reads and writes do nothing.
IniDocument ini_create(const std::string& path);

// Selects the first group whose name equals name, ignoring the case of A-Z; with none it becomes pending.
void ini_select_group(IniDocument& ini, std::string_view name);

// The value of key in the selected group, trimmed of blanks and tabs; default_text when the key is not there.
std::string ini_read_text(const IniDocument& ini, std::string_view key, std::string_view default_text);

// The value of key read as a decimal integer like atoi (0 when it does not start with a number, clamped to the
// 32-bit range); default_number when the key is not there.
std::int32_t ini_read_number(const IniDocument& ini, std::string_view key, std::int32_t default_number);

// Adds "key = value" after the last line of the selected group, first adding a pending group's header.
// Does nothing when no group is selected.
void ini_write_text(IniDocument& ini, std::string_view key, std::string_view value);

// As ini_write_text with the number in decimal.
void ini_write_number(IniDocument& ini, std::string_view key, std::int32_t number);

// Writes the document to its file if anything was written to it, then releases it. True only when the file was
// replaced; on failure the old file is left as it was.
bool ini_close(IniDocument& ini);

} // namespace common
