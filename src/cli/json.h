// The --json outputs of kestrel-cli, written in one place: one JSON document per run on stdout, made with
// nlohmann-json so that escaping is the library's. A command builds its document from the pieces here and writes it
// with write_json(); its messages still go to stderr as text. Field names are the README's. The long documents of
// list and find over many images write their files and hits with JsonWriter instead, to the same bytes.
//
// Giving a command --json takes three lines:
//     .options = {..., JSON},                               // in the command's declaration
//     Json document = {{"image", path}, {"files", Json::array()}};
//     if (args.has("--json")) write_json(out, document); else ... the text as before ...
#pragma once

#include "image/directory.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Objects keep their fields in the order they were put, as the README lists them.
using Json = nlohmann::ordered_json;

// The text of raw disc bytes read as Latin-1 (each byte the character of that code), in UTF-8 as JSON holds it.
std::string latin1_text(std::string_view raw);

// Puts a disc name into `object` as "name", its Latin-1 text, and "name_bytes", the raw bytes as numbers 0-255.
void put_name(Json& object, std::string_view raw);

// A type code as {"code": 1, "name": "ZX Basic", "key": "zx-basic"}; name and key are "" for codes without one.
Json type_json(int code);

// A listed file: slot, name, name_bytes, type, start, length, attributes {hidden, protected}, sectors,
// first_track, first_sector; a SAM file also execute, autorun_line, array_name, screen_mode, packed and time (null
// where its entry holds none).
Json file_json(const image::CatalogueRow& row);

// Writes JSON text straight onto the end of a string, byte for byte as write_json() lays out the same value at the
// same depth: for the many objects of a long document, which cost far more built as Json values and dumped.
// Inside an object, member() comes before each value; in an array the values come alone. Keys are written as
// given: plain names that need no escape.
class JsonWriter
{
public:
    // `depth`: how many containers hold the first value, which starts where the text ends (its members are
    // indented by depth + 1 steps).
    JsonWriter(std::string& out, std::size_t depth) : m_out(out), m_base(depth), m_depth(depth) {}

    // The key of the next value; it must last until that value is written.
    JsonWriter& member(std::string_view key);
    void number(std::int64_t value);
    void flag(bool value);
    void null();
    // UTF-8 text, escaped as nlohmann escapes it; bytes that are not UTF-8 become U+FFFD as write_json() has them.
    void text(std::string_view utf8);
    // Raw bytes as an array of numbers 0-255.
    void bytes(std::string_view raw);
    void open_object();
    void close_object();
    void open_array();
    void close_array();

private:
    char* room(std::size_t most);
    void done(const char* end);
    char* put_start(char* at);
    void open(char bracket);
    void close(char bracket);

    std::string& m_out;
    std::size_t m_base;     // the depth of the first value
    std::size_t m_depth;    // the depth of the next value
    bool m_first = true;    // the innermost open container holds nothing yet
    bool m_keyed = false;   // member() has given the next value's key
    std::string_view m_key; // that key
};

// A listed file, file_json()'s object, and a file find found: {image, slot, name, name_bytes, type, length}.
void write_file(JsonWriter& out, const image::CatalogueRow& row);
void write_hit(JsonWriter& out, std::string_view image, const image::CatalogueRow& row);

// Writes the document, indented by two, and a line end. Strings that are not UTF-8 (a file name from the file
// system) have their bad bytes replaced by U+FFFD rather than stopping the output.
void write_json(std::ostream& out, const Json& document);

} // namespace cli
