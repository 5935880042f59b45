// The rules `kestrel-cli find` and the web page find files by: a shell pattern over a file's name (any case,
// Latin-1), and types or groups of types.
#pragma once

#include "image/directory.h"
#include "image/file_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// A group of types find takes besides the type keys of the table: a flag of the file type, or (without one) what
// the list shows as a screen (6,912 bytes, whatever the type) and the screen types.
struct TypeGroup
{
    const char* name;
    bool image::FileType::*flag;

    bool matches(const image::CatalogueRow& row) const;
};

// One type to find: a type key of the table, a group, or a type code 0-63.
struct TypeFilter
{
    std::optional<int> code;
    const TypeGroup* group = nullptr;

    bool matches(const image::CatalogueRow& row) const { return group ? group->matches(row) : row.type_code == *code; }
};

// The names a type may be given by, for the message that refuses another.
std::string type_names_text();
std::optional<TypeFilter> parse_type(const std::string& text);

// Latin-1 letters in lower case.
std::string folded(std::string text);
// The pattern as Latin-1 bytes: a pattern in UTF-8 whose characters are all Latin-1 becomes those bytes; any other
// pattern is taken byte for byte.
std::string latin1_pattern(const std::string& pattern);
// Why fnmatch would not take the pattern as written, "" when it would.
std::string pattern_problem(std::string_view pattern);

// Whether the row is found by `pattern` (folded Latin-1, as folded(latin1_pattern(...)) makes it) and is of one of
// `types` (any type when there are none). The name is matched without the spaces that pad it.
bool is_found(const image::CatalogueRow& row, const std::string& pattern, const std::vector<TypeFilter>& types);

} // namespace files
