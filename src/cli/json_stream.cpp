#include "cli/json_stream.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace cli {
namespace {

// write_json's indent step, and the depth of an element of an array in the top object.
constexpr std::size_t INDENT = 2;
constexpr std::size_t ELEMENT_DEPTH = 2;

// How write_json lays out an array in the top object: "[", a line end before the first element and a comma and a
// line end before each other, then a line end, the array's indent and "]"; an empty array is "[]".
const char* separator(bool first)
{
    return first ? "\n" : ",\n";
}

std::string closing(bool empty)
{
    std::string text;
    if (!empty) {
        text += '\n';
        text.append(INDENT, ' ');
    }
    text += ']';
    return text;
}

} // namespace

std::string element_text(const Json& element)
{
    // Strings hold no raw line ends (JSON escapes them), so every line end of the dump starts a line of it.
    const std::string dumped = element.dump(INDENT, ' ', false, Json::error_handler_t::replace);
    const std::string_view indent = "    ";
    static_assert(INDENT * ELEMENT_DEPTH == 4);
    std::string text;
    text.reserve(dumped.size() + dumped.size() / 2);
    for (std::size_t at = 0; at < dumped.size();) {
        const std::size_t end = std::min(dumped.find('\n', at), dumped.size() - 1) + 1;
        text.append(indent).append(dumped, at, end - at);
        at = end;
    }
    return text;
}

void append_element(std::string& elements, std::string_view element)
{
    if (!elements.empty())
        elements += ",\n";
    elements += element;
}

JsonWriter element_writer(std::string& elements)
{
    if (!elements.empty())
        elements += ",\n";
    elements.append(INDENT * ELEMENT_DEPTH, ' ');
    return JsonWriter(elements, ELEMENT_DEPTH);
}

StreamedDocument::StreamedDocument(std::ostream& out, std::string first_key, std::string second_key)
    : m_out(out), m_second_key(std::move(second_key))
{
    m_out << "{\n" << std::string(INDENT, ' ') << Json(std::move(first_key)).dump() << ": [";
}

void StreamedDocument::add_first(const std::string& text)
{
    m_out << separator(m_first_empty) << text;
    m_first_empty = false;
}

void StreamedDocument::add_second(const std::string& text)
{
    m_second += separator(m_second.empty());
    m_second += text;
}

void StreamedDocument::finish()
{
    m_out << closing(m_first_empty) << ",\n"
          << std::string(INDENT, ' ') << Json(m_second_key).dump() << ": [" << m_second << closing(m_second.empty())
          << "\n}\n";
}

} // namespace cli
