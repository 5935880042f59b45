#include "common/path_text.h"

#include "common/number_text.h"

namespace common {
namespace {

std::string_view unquoted(std::string_view path)
{
    if (!path.empty() && path.front() == '"')
        path.remove_prefix(1);
    return path;
}

// Position of the point that starts the extension, or npos.
std::size_t extension_point(std::string_view path)
{
    const std::size_t name_start = [&] {
        const std::size_t sep = path.find_last_of(PATH_SEPARATORS);
        return sep == std::string_view::npos ? 0 : sep + 1;
    }();
    const std::size_t point = path.rfind('.');
    if (point == std::string_view::npos || point < name_start)
        return std::string_view::npos;
    return point;
}

} // namespace

std::string folder_part(std::string_view path)
{
    path = unquoted(path);
    const std::size_t sep = path.find_last_of(PATH_SEPARATORS);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string file_part(std::string_view path)
{
    path = unquoted(path);
    const std::size_t sep = path.find_last_of(PATH_SEPARATORS);
    std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
    return std::string(name.substr(0, name.find('"')));
}

std::string lower_extension(std::string_view path)
{
    const std::size_t point = extension_point(path);
    return point == std::string_view::npos ? std::string() : ascii_lower(path.substr(point + 1));
}

std::string without_extension(std::string_view path)
{
    const std::size_t point = extension_point(path);
    return std::string(point == std::string_view::npos ? path : path.substr(0, point));
}

std::string ascii_lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string shown_path(std::string_view path)
{
    constexpr unsigned char FIRST_PRINTABLE = 0x20;
    constexpr unsigned char DEL = 0x7F;
    std::string shown;
    shown.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= FIRST_PRINTABLE && byte != DEL)
            shown += c;
        else if (c == '\t')
            shown += "\\t";
        else if (c == '\n')
            shown += "\\n";
        else if (c == '\r')
            shown += "\\r";
        else
            shown += "\\x" + hex(byte, BYTE_DIGITS).substr(2);
    }
    return shown;
}

} // namespace common
