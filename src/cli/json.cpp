#include "cli/json.h"

#include "image/file_types.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace cli {

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

// The starts of write_json's lines, after a comma or not (from the second byte on): a line end and the indent, for
// indents up to MAX_INDENT spaces, so that each is one append.
constexpr std::size_t MAX_INDENT = 64;
constexpr auto LINE_STARTS = [] {
    std::array<char, 2 + MAX_INDENT> starts{};
    starts.fill(' ');
    starts[0] = ',';
    starts[1] = '\n';
    return starts;
}();

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
    out.member("hidden").flag(row.hidden);
    out.member("protected").flag(row.protected_file);
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

// Writes `text` escaped, without its quotes, from `at`, which has room for ESCAPED_MOST bytes a byte of it;
// returns the end.
constexpr std::size_t ESCAPED_MOST = 6;
char* put_escaped(char* at, std::string_view text)
{
    static constexpr std::string_view HEX = "0123456789abcdef";
    static constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
    std::size_t next = 0;
    while (next < text.size()) {
        const auto byte = static_cast<unsigned char>(text[next]);
        if (byte >= 0x20 && byte != '"' && byte != '\\' && byte < 0x80) {
            *at++ = text[next++];
            continue;
        }
        if (byte >= 0x80) {
            bool whole = false;
            const std::size_t length = utf8_length(text, next, whole);
            at = whole ? std::copy_n(text.data() + next, length, at)
                       : std::copy(REPLACEMENT.begin(), REPLACEMENT.end(), at);
            next += length;
            continue;
        }
        ++next;
        *at++ = '\\';
        switch (byte) {
        case '"':
        case '\\':
            *at++ = static_cast<char>(byte);
            break;
        case '\b':
            *at++ = 'b';
            break;
        case '\f':
            *at++ = 'f';
            break;
        case '\n':
            *at++ = 'n';
            break;
        case '\r':
            *at++ = 'r';
            break;
        case '\t':
            *at++ = 't';
            break;
        default:
            at = std::copy_n("u00", 3, at);
            *at++ = HEX[byte >> 4];
            *at++ = HEX[byte & 0xF];
        }
    }
    return at;
}

// Writes a line start of write_json's layout from `at`: ",\n" (after a comma) or "\n", then the indent of `depth`.
char* put_line_start(char* at, bool comma, std::size_t depth)
{
    const std::size_t indent = depth * INDENT;
    const char* start = LINE_STARTS.data() + (comma ? 0 : 1);
    if (indent <= MAX_INDENT)
        return std::copy(start, LINE_STARTS.data() + 2 + indent, at);
    at = std::copy(start, LINE_STARTS.data() + 2, at);
    return std::fill_n(at, indent, ' ');
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

// Each value is written with one resize of the text to the most it can take and one to what it took, rather than
// an append for each piece: for many small values, the pieces' appends cost more than the rest.

JsonWriter& JsonWriter::member(std::string_view key)
{
    m_key = key;
    m_keyed = true;
    return *this;
}

void JsonWriter::number(std::int64_t value)
{
    constexpr std::size_t DIGITS = 20;
    char* at = put_start(room(DIGITS));
    done(std::to_chars(at, at + DIGITS, value).ptr);
}

void JsonWriter::flag(bool value)
{
    const std::string_view word = value ? "true" : "false";
    done(std::copy(word.begin(), word.end(), put_start(room(word.size()))));
}

void JsonWriter::null()
{
    const std::string_view word = "null";
    done(std::copy(word.begin(), word.end(), put_start(room(word.size()))));
}

void JsonWriter::text(std::string_view utf8)
{
    char* at = put_start(room(2 + utf8.size() * ESCAPED_MOST));
    *at++ = '"';
    at = put_escaped(at, utf8);
    *at++ = '"';
    done(at);
}

void JsonWriter::bytes(std::string_view raw)
{
    open_array();
    constexpr std::size_t DIGITS = 3;
    char* at = room(raw.size() * (2 + m_depth * INDENT + DIGITS));
    for (const char c : raw) {
        at = put_line_start(at, !m_first, m_depth);
        at = std::to_chars(at, at + DIGITS, static_cast<unsigned char>(c)).ptr;
        m_first = false;
    }
    done(at);
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

// Makes room for the next value's start (see put_start) and `most` bytes of it after the end of the text, and
// returns where its start goes; done() then cuts the text where the value ends.
char* JsonWriter::room(std::size_t most)
{
    const std::size_t end = m_out.size();
    const std::size_t start = 2 + m_depth * INDENT + (m_keyed ? m_key.size() + 4 : 0);
    m_out.resize(end + start + most);
    return m_out.data() + end;
}

void JsonWriter::done(const char* end)
{
    m_out.resize(static_cast<std::size_t>(end - m_out.data()));
}

// The start of a value: after its key, if member() gave one, on a line of its own; the first value of all starts
// where the text ended.
char* JsonWriter::put_start(char* at)
{
    if (m_keyed || m_depth > m_base) {
        at = put_line_start(at, !m_first, m_depth);
        m_first = false;
    }
    if (m_keyed) {
        *at++ = '"';
        at = std::copy(m_key.begin(), m_key.end(), at);
        at = std::copy_n("\": ", 3, at);
        m_keyed = false;
    }
    return at;
}

void JsonWriter::open(char bracket)
{
    char* at = put_start(room(1));
    *at++ = bracket;
    done(at);
    ++m_depth;
    m_first = true;
}

// An empty container closes on its line ("{}", "[]"); another on a line of its own.
void JsonWriter::close(char bracket)
{
    --m_depth;
    char* at = room(1);
    if (!m_first)
        at = put_line_start(at, false, m_depth);
    *at++ = bracket;
    done(at);
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
