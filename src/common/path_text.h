// Splitting host paths as the program shows and stores them: folder part, file part, extension.
// Paths are 8-bit text in the local encoding and are never re-encoded here.
#pragma once

#include <string>
#include <string_view>

namespace common {

// Characters that end a folder name in a host path.
#ifdef _WIN32
inline constexpr std::string_view PATH_SEPARATORS = "\\/";
#else
inline constexpr std::string_view PATH_SEPARATORS = "/";
#endif

// Everything up to and including the last separator ("" when there is none); a leading double quote is skipped.
std::string folder_part(std::string_view path);

// The text after the last separator, up to the end or to a double quote; a leading double quote is skipped.
std::string file_part(std::string_view path);

// The lower-cased (A-Z only) text after the last point of the file name; "" when the name has no point.
// A point in a folder name does not count.
std::string lower_extension(std::string_view path);

// The path up to but not including the last point of its file name; the whole path when the name has none.
std::string without_extension(std::string_view path);

// Lower-cases the letters A to Z and leaves every other byte as it is.
std::string ascii_lower(std::string_view text);

// A path as a line of text shows it, so that it can neither split a TAB-separated line nor drive a terminal: TAB,
// line feed and carriage return as \t, \n and \r, the other control bytes (and DEL) as \xNN; every other byte
// as it is, as the window shows such bytes in names.
std::string shown_path(std::string_view path);

} // namespace common
