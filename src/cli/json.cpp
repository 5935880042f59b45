#include "cli/json.h"

#include "image/file_types.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace cli {

bool take_option(std::vector<std::string>& args, std::initializer_list<std::string_view> names)
{
    const auto end_of_options = std::find(args.begin(), args.end(), "--");
    const auto kept = std::remove_if(args.begin(), end_of_options, [&](const std::string& arg) {
        return std::find(names.begin(), names.end(), arg) != names.end();
    });
    const bool found = kept != end_of_options;
    args.erase(kept, end_of_options);
    return found;
}

std::string latin1_text(std::string_view raw)
{
    std::string text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

namespace {

// write_json's indent step.
constexpr std::size_t INDENT = 2;

// Builds Json values through JsonWriter's calls, so that one function can give both a Json value and its text.
class JsonBuilder
{
public:
    // Puts members into `object`.
    explicit JsonBuilder(Json& object) : m_open{&object} {}

    JsonBuilder& member(std::string_view key)
    {
        m_key = key;
        return *this;
    }
    void number(std::int64_t value) { put(value); }
    void flag(bool value) { put(value); }
    void null() { put(nullptr); }
    void text(std::string_view utf8) { put(std::string(utf8)); }
    void bytes(std::string_view raw)
    {
        Json numbers = Json::array();
        for (const char c : raw)
            numbers.push_back(static_cast<unsigned char>(c));
        put(std::move(numbers));
    }
    void open_object() { m_open.push_back(&put(Json::object())); }
    void close_object() { m_open.pop_back(); }

private:
    Json& put(Json value)
    {
        Json& container = *m_open.back();
        if (container.is_array()) {
            container.push_back(std::move(value));
            return container.back();
        }
        return container[m_key] = std::move(value);
    }

    std::vector<Json*> m_open;
    std::string m_key;
};

// The members of the objects, in their order, for a JsonBuilder and a JsonWriter alike.

template <class Out> void name_members(Out& out, std::string_view raw)
{
    out.member("name").text(latin1_text(raw));
    out.member("name_bytes").bytes(raw);
}

template <class Out> void type_members(Out& out, int code)
{
    const image::FileType& type = image::file_type(code);
    out.member("code").number(code);
    out.member("name").text(type.name);
    out.member("key").text(type.key);
}

template <class Out> void type_member(Out& out, int code)
{
    out.member("type").open_object();
    type_members(out, code);
    out.close_object();
}

template <class Out, class Number> void number_or_null(Out& out, const std::optional<Number>& value)
{
    if (value)
        out.number(*value);
    else
        out.null();
}

template <class Out> void file_members(Out& out, const image::CatalogueRow& row)
{
    out.member("slot").number(row.slot);
    name_members(out, row.name);
    type_member(out, row.type_code);
    out.member("start").number(row.start);
    out.member("length").number(row.length);
    out.member("attributes").open_object();
    out.member("hidden").flag(row.attributes.find('H') != std::string::npos);
    out.member("protected").flag(row.attributes.find('P') != std::string::npos);
    out.close_object();
    out.member("sectors").number(row.sectors);
    out.member("first_track").number(row.start_track);
    out.member("first_sector").number(row.start_sector);
    if (!image::file_type(row.type_code).sam_system)
        return;
    const image::SamFacts& sam = row.sam;
    number_or_null(out.member("execute"), sam.execute);
    number_or_null(out.member("autorun_line"), sam.autorun_line);
    if (sam.array_name.empty())
        out.member("array_name").null();
    else
        out.member("array_name").text(latin1_text(sam.array_name));
    number_or_null(out.member("screen_mode"), sam.screen_mode);
    out.member("packed").flag(sam.packed);
    if (sam.time)
        out.member("time").text(image::timestamp_text(*sam.time));
    else
        out.member("time").null();
}

// How many bytes of `text` from `at`, a byte 0x80 or above, make one well-formed UTF-8 character, or (with
// `whole` false) how many nlohmann's decoder takes before it finds them none and puts one U+FFFD for them all:
// the longest start of a character there is, at least one byte.
std::size_t utf8_length(std::string_view text, std::size_t at, bool& whole)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (lead == 0xE0)
        low = 0xA0; // not overlong
    else if (lead == 0xED)
        high = 0x9F; // no surrogate
    else if (lead == 0xF0)
        low = 0x90; // not overlong
    else if (lead == 0xF4)
        high = 0x8F; // at most U+10FFFF
    std::size_t taken = 1;
    while (taken < length && at + taken < text.size()) {
        const auto byte = static_cast<unsigned char>(text[at + taken]);
        if (byte < (taken == 1 ? low : 0x80) || byte > (taken == 1 ? high : 0xBF))
            break;
        ++taken;
    }
    whole = length != 0 && taken == length;
    return taken;
}

void append_escaped(std::string& out, std::string_view text)
{
    static constexpr std::string_view HEX = "0123456789abcdef";
    static constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
    out += '"';
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t plain = at;
        while (plain < text.size()) {
            const auto byte = static_cast<unsigned char>(text[plain]);
            if (byte < 0x20 || byte == '"' || byte == '\\' || byte >= 0x80)
                break;
            ++plain;
        }
        out.append(text, at, plain - at);
        if (plain == text.size())
            break;
        at = plain;
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80) {
            bool whole = false;
            const std::size_t length = utf8_length(text, at, whole);
            if (whole)
                out.append(text, at, length);
            else
                out += REPLACEMENT;
            at += length;
            continue;
        }
        ++at;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += HEX[byte >> 4];
            out += HEX[byte & 0xF];
        }
    }
    out += '"';
}

} // namespace

void put_name(Json& object, std::string_view raw)
{
    JsonBuilder builder(object);
    name_members(builder, raw);
}

Json type_json(int code)
{
    Json type = Json::object();
    JsonBuilder builder(type);
    type_members(builder, code);
    return type;
}

Json file_json(const image::CatalogueRow& row)
{
    Json file = Json::object();
    JsonBuilder builder(file);
    file_members(builder, row);
    return file;
}

JsonWriter& JsonWriter::member(std::string_view key)
{
    line_start();
    m_out += '"';
    m_out += key;
    m_out += "\": ";
    m_keyed = true;
    return *this;
}

void JsonWriter::number(std::int64_t value)
{
    start_value();
    std::array<char, 24> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    m_out.append(digits.data(), end);
}

void JsonWriter::flag(bool value)
{
    start_value();
    m_out += value ? "true" : "false";
}

void JsonWriter::null()
{
    start_value();
    m_out += "null";
}

void JsonWriter::text(std::string_view utf8)
{
    start_value();
    append_escaped(m_out, utf8);
}

void JsonWriter::bytes(std::string_view raw)
{
    open_array();
    for (const char c : raw)
        number(static_cast<unsigned char>(c));
    close_array();
}

void JsonWriter::open_object()
{
    open('{');
}

void JsonWriter::close_object()
{
    close('}');
}

void JsonWriter::open_array()
{
    open('[');
}

void JsonWriter::close_array()
{
    close(']');
}

// A value inside a container starts a line of its own, unless it follows its key.
void JsonWriter::start_value()
{
    if (m_keyed)
        m_keyed = false;
    else if (m_depth > m_base)
        line_start();
}

void JsonWriter::line_start()
{
    m_out += m_first ? "\n" : ",\n";
    m_out.append(m_depth * INDENT, ' ');
    m_first = false;
}

void JsonWriter::open(char bracket)
{
    start_value();
    m_out += bracket;
    ++m_depth;
    m_first = true;
}

// An empty container closes on its line ("{}", "[]"); another on a line of its own.
void JsonWriter::close(char bracket)
{
    --m_depth;
    if (!m_first) {
        m_out += '\n';
        m_out.append(m_depth * INDENT, ' ');
    }
    m_out += bracket;
    m_first = false;
}

void write_file(JsonWriter& out, const image::CatalogueRow& row)
{
    out.open_object();
    file_members(out, row);
    out.close_object();
}

void write_hit(JsonWriter& out, std::string_view image, const image::CatalogueRow& row)
{
    out.open_object();
    out.member("image").text(image);
    out.member("slot").number(row.slot);
    name_members(out, row.name);
    type_member(out, row.type_code);
    out.member("length").number(row.length);
    out.close_object();
}

void write_json(std::ostream& out, const Json& document)
{
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace cli
