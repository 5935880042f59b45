// The --json document of a command over many images, written as the images are read instead of built whole:
// {"KEY": [element...], "unreadable": [element...]}, the elements of the first array written as they come, those of
// the second (few: the images that could not be read) kept as text until the end. The bytes are the ones
// write_json() gives for the whole document, because each element is dumped alone and indented to its depth.
#pragma once

#include "cli/json.h"

#include <ostream>
#include <string>
#include <string_view>

namespace cli {

// The text of `element` as write_json() writes it as an element of an array inside the document's top object:
// every line indented by four spaces, the first too, and no line end after the last.
std::string element_text(const Json& element);

// Appends an element to `elements`, elements joined as an array holds them (",\n" between two), or none.
void append_element(std::string& elements, std::string_view element);
// A writer of an element's text straight onto the end of `elements`, as append_element() puts it: the ",\n" and
// the first line's indent are already there.
JsonWriter element_writer(std::string& elements);

class StreamedDocument
{
public:
    // Writes the start of the document, up to the first array's "[".
    StreamedDocument(std::ostream& out, std::string first_key, std::string second_key);

    // Writes elements of the first array (their element_text(), joined as append_element() joins them).
    void add_first(const std::string& text);
    // Keeps elements of the second array until finish().
    void add_second(const std::string& text);
    // Writes the rest of the document and its line end.
    void finish();

private:
    std::ostream& m_out;
    std::string m_second_key;
    bool m_first_empty = true;
    std::string m_second;
};

} // namespace cli
