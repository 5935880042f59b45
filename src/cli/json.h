// The --json outputs of kestrel-cli, written in one place: one JSON document per run on stdout, made with
// nlohmann-json so that escaping is the library's. A command builds its document from the pieces here and writes it
// with write_json(); its messages still go to stderr as text. Field names are the README's.
//
// Giving a command --json takes three lines:
//     const bool json = take_option(args, {"--json"});      // before the command reads its arguments
//     Json document = {{"image", path}, {"files", Json::array()}};
//     if (json) write_json(out, document); else ... the text as before ...
#pragma once

#include "image/directory.h"

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Objects keep their fields in the order they were put, as the README lists them.
using Json = nlohmann::ordered_json;

// Removes every argument that is one of `names` and comes before the first "--" from `args`; whether there was one.
bool take_option(std::vector<std::string>& args, std::initializer_list<std::string_view> names);

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

// Writes the document, indented by two, and a line end. Strings that are not UTF-8 (a file name from the file
// system) have their bad bytes replaced by U+FFFD rather than stopping the output.
void write_json(std::ostream& out, const Json& document);

} // namespace cli
