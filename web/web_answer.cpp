#include "web_answer.h"

#include "session/row_commands.h"

#include <algorithm>
#include <cstdio>

namespace web {

session::ListedDisc listed;
std::vector<std::uint8_t> last_output;

void Json::str(std::string_view bytes)
{
    m_text += '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            m_text += '\\';
            m_text += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            m_text += escaped;
        } else {
            m_text += c;
        }
    }
    m_text += '"';
}

std::string status_only(const std::string& status, bool ok)
{
    Json json;
    json.open().flag("ok", ok).field("status", status).close();
    return json.text();
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(separator, at), text.size());
        parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

std::vector<int> slot_numbers(const std::string& slots)
{
    std::vector<int> numbers;
    for (const std::string& slot : split(slots, ','))
        numbers.push_back(std::stoi(slot));
    return numbers;
}

const image::CatalogueRow* row_of(int slot)
{
    return session::row_of(listed, slot);
}

} // namespace web
