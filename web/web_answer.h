// What the bindings of the web page share: the listed image, the bytes the last call made, and the JSON their
// answers are written in. Disc names and listing lines are raw bytes: the JSON carries each byte as the character
// of that code (Latin-1), as the desktop window shows them.
#pragma once

#include "image/directory.h"
#include "session/listed_disc.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace web {

// The listed image, kept for the calls on its files.
extern session::ListedDisc listed;
extern std::vector<std::uint8_t> last_output;

// A JSON value written piece by piece: objects of keys and values, lists of strings or objects.
class Json
{
public:
    Json& open() // an object, as a value or a list's item
    {
        value();
        m_text += '{';
        m_first = true;
        return *this;
    }
    Json& close()
    {
        m_text += '}';
        m_first = false;
        return *this;
    }
    Json& open_list(std::string_view name)
    {
        key(name);
        value();
        m_text += '[';
        m_first = true;
        return *this;
    }
    Json& close_list()
    {
        m_text += ']';
        m_first = false;
        return *this;
    }
    Json& field(std::string_view name, std::string_view text)
    {
        key(name);
        value();
        str(text);
        return *this;
    }
    Json& field(std::string_view name, std::int64_t number)
    {
        key(name);
        value();
        m_text += std::to_string(number);
        return *this;
    }
    Json& flag(std::string_view name, bool set)
    {
        key(name);
        value();
        m_text += set ? "true" : "false";
        return *this;
    }
    template <class Texts> Json& list(std::string_view name, const Texts& items)
    {
        open_list(name);
        for (const std::string& item : items) {
            value();
            str(item);
        }
        return close_list();
    }
    std::string text() const { return m_text; }

private:
    void key(std::string_view name)
    {
        value();
        str(name);
        m_text += ':';
        m_after_key = true;
    }
    // The comma before a value, unless it is the first of its object or list, or follows its key.
    void value()
    {
        if (m_after_key)
            m_after_key = false;
        else if (!m_first)
            m_text += ',';
        m_first = false;
    }
    // A string of bytes, each byte the character of that code.
    void str(std::string_view bytes);

    std::string m_text;
    bool m_first = true;
    bool m_after_key = false;
};

// {"ok": ok, "status": status}
std::string status_only(const std::string& status, bool ok);

// The parts of a list the page passes as one text: "3,7,12" split at ',' or paths split at '\n'; none for "".
std::vector<std::string> split(const std::string& text, char separator);
// The slot numbers of a list such as "3,7,12".
std::vector<int> slot_numbers(const std::string& slots);

// The row of the listed image in `slot`; null when none is listed or the slot is not used.
const image::CatalogueRow* row_of(int slot);

} // namespace web
