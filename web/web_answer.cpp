#include "web_answer.h"

#include "session/row_commands.h"

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

const image::CatalogueRow* row_of(int slot)
{
    return session::row_of(listed, slot);
}

} // namespace web
