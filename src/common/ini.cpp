#include "common/ini.h"

#include "common/file_read.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {
namespace {

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
constexpr std::string_view LINE_END = "\r\n";
constexpr std::string_view LINE_BREAKS = "\r\n";
constexpr std::string_view BLANKS = " \t";

std::string_view trim_front(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(BLANKS);
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

std::string_view trim_back(std::string_view text)
{
    const std::size_t end = text.find_last_not_of(BLANKS);
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

char lower_ascii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only A-Z fold: the comparison must not depend on the locale or on how bytes above 127 are encoded.
bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower_ascii(a[i]) != lower_ascii(b[i]))
            return false;
    }
    return true;
}

// The program's 8-bit text for paths is the local 8-bit encoding, which is UTF-8 on the systems this code runs
// on, so a UTF-8 document needs no conversion: every character has its 8-bit form, and byte sequences that are not
// valid UTF-8 pass through unchanged, as a path holding them is still a path that opens.
std::string utf8_to_local(std::string_view text)
{
    return std::string(text);
}

// Like the C library's decimal conversion: white space, a sign, digits up to the first non-digit. Unlike atoi
// the result never overflows; it stops at the ends of the 32-bit range, as strtol does for a 32-bit long.
std::int32_t parse_number(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (magnitude <= LIMIT)
            magnitude = magnitude * 10 + (text[at] - '0');
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

} // namespace

// A moved-from document is closed, so that only one of the two can still write the file.
IniDocument::IniDocument(IniDocument&& other) noexcept
    : m_lines(std::move(other.m_lines)), m_selection(other.m_selection), m_group_line(other.m_group_line),
      m_pending_group(std::move(other.m_pending_group)), m_encoding(other.m_encoding), m_written(other.m_written),
      m_bound(std::exchange(other.m_bound, false)), m_path(std::move(other.m_path)),
      m_file(std::exchange(other.m_file, std::nullopt))
{}

IniDocument& IniDocument::operator=(IniDocument&& other) noexcept
{
    if (this != &other) {
        m_lines = std::move(other.m_lines);
        m_selection = other.m_selection;
        m_group_line = other.m_group_line;
        m_pending_group = std::move(other.m_pending_group);
        m_encoding = other.m_encoding;
        m_written = other.m_written;
        m_bound = std::exchange(other.m_bound, false);
        m_path = std::move(other.m_path);
        m_file = std::exchange(other.m_file, std::nullopt);
    }
    return *this;
}

std::string IniDocument::file_text() const
{
    std::string text;
    for (const Line& line : m_lines) {
        switch (line.kind) {
        case Kind::Group:
            text.append("[").append(line.text).append("]");
            break;
        case Kind::Comment:
            text.append("; ").append(line.text);
            break;
        case Kind::Entry:
            text.append(line.text).append(" = ").append(line.value);
            break;
        }
        text.append(LINE_END);
    }
    return text;
}

std::size_t IniDocument::find_entry(std::string_view key) const
{
    if (m_selection != Selection::Header)
        return m_lines.size();
    for (std::size_t i = m_group_line + 1; i < m_lines.size() && m_lines[i].kind != Kind::Group; ++i) {
        if (m_lines[i].kind == Kind::Entry && same_name(m_lines[i].text, key))
            return i;
    }
    return m_lines.size();
}

IniDocument ini_open(const std::string& path)
{
    IniDocument ini;
    ini.m_bound = true;
    ini.m_path = path;
    // A file that cannot be read (a folder, no permission, a read error half-way) reads as an empty one.
    const auto read = read_whole_file(path, std::numeric_limits<std::size_t>::max(), "a settings file");
    const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&read);
    const std::string file = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    std::string_view text = file;
    if (text.starts_with(UTF8_BOM)) {
        text.remove_prefix(UTF8_BOM.size());
        ini.m_encoding = IniEncoding::Utf8;
    }
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of(LINE_BREAKS), text.size());
        const std::string_view line = trim_front(text.substr(0, end));
        text.remove_prefix(end);
        text = text.substr(std::min(text.find_first_not_of(LINE_BREAKS), text.size()));

        if (line.empty())
            continue;
        if (line.front() == ';') {
            std::string_view comment = line.substr(1);
            if (comment.starts_with(' '))
                comment.remove_prefix(1);
            ini.m_lines.push_back({IniDocument::Kind::Comment, std::string(comment), {}});
        } else if (line.front() == '[') {
            const std::string_view inside = line.substr(1);
            ini.m_lines.push_back({IniDocument::Kind::Group, std::string(inside.substr(0, inside.find(']'))), {}});
        } else {
            const std::size_t equals = line.find('=');
            const std::string_view key = trim_back(line.substr(0, equals));
            const std::string_view value =
                equals == std::string_view::npos ? std::string_view() : trim_front(line.substr(equals + 1));
            ini.m_lines.push_back({IniDocument::Kind::Entry, std::string(key), std::string(value)});
        }
    }
    return ini;
}

IniDocument ini_create(const std::string& path)
{
    IniDocument ini;
    AtomicFile file(path);
    if (!file.is_open())
        return ini;
    ini.m_file.emplace(std::move(file));
    ini.m_bound = true;
    ini.m_path = path;
    return ini;
}

void ini_select_group(IniDocument& ini, std::string_view name)
{
    if (!ini.m_bound)
        return;
    for (std::size_t i = 0; i < ini.m_lines.size(); ++i) {
        if (ini.m_lines[i].kind == IniDocument::Kind::Group && same_name(ini.m_lines[i].text, name)) {
            ini.m_selection = IniDocument::Selection::Header;
            ini.m_group_line = i;
            return;
        }
    }
    ini.m_selection = IniDocument::Selection::Pending;
    ini.m_pending_group = std::string(name);
}

std::string ini_read_text(const IniDocument& ini, std::string_view key, std::string_view default_text)
{
    const std::size_t at = ini.find_entry(key);
    if (at == ini.m_lines.size())
        return std::string(default_text);
    const std::string_view value = trim_back(ini.m_lines[at].value);
    return ini.m_encoding == IniEncoding::Utf8 ? utf8_to_local(value) : std::string(value);
}

std::int32_t ini_read_number(const IniDocument& ini, std::string_view key, std::int32_t default_number)
{
    const std::size_t at = ini.find_entry(key);
    return at == ini.m_lines.size() ? default_number : parse_number(ini.m_lines[at].value);
}

void ini_write_text(IniDocument& ini, std::string_view key, std::string_view value)
{
    if (!ini.m_bound || ini.m_selection == IniDocument::Selection::None)
        return;
    if (ini.m_selection == IniDocument::Selection::Pending) {
        ini.m_lines.push_back({IniDocument::Kind::Group, std::move(ini.m_pending_group), {}});
        ini.m_pending_group.clear();
        ini.m_selection = IniDocument::Selection::Header;
        ini.m_group_line = ini.m_lines.size() - 1;
    }
    std::size_t end = ini.m_group_line + 1;
    while (end < ini.m_lines.size() && ini.m_lines[end].kind != IniDocument::Kind::Group)
        ++end;
    ini.m_lines.insert(ini.m_lines.begin() + static_cast<std::ptrdiff_t>(end),
                       {IniDocument::Kind::Entry, std::string(key), std::string(value)});
    ini.m_written = true;
}

void ini_write_number(IniDocument& ini, std::string_view key, std::int32_t number)
{
    ini_write_text(ini, key, std::to_string(number));
}

bool ini_close(IniDocument& ini)
{
    IniDocument released = std::move(ini);
    if (!released.m_bound || !released.m_written)
        return false;
    if (!released.m_file || !released.m_file->is_open())
        released.m_file.emplace(released.m_path);
    released.m_file->write(released.file_text());
    return released.m_file->commit();
}

} // namespace common
