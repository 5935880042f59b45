// The one way the core says why something was not done: a text for the user and a kind for the code that decides
// what to do next, never the text. Results carry a value or an Error.
#pragma once

#include <string>
#include <variant>

namespace common {

enum class ErrorKind
{
    Failed,     // the system refused a read or a write, or the bytes are damaged or of no known form
    Refused,    // a file refused for its kind or size (no regular file, too large), not for a read error
    NotAnImage, // the name or the contents say the file is no disc image at all
    Unopened,   // the file of a raw image exists but could not be opened: its bytes are unknown, not its size
};

struct Error
{
    std::string text; // in words for the user: "size is 860416 bytes, not 819200"
    ErrorKind kind = ErrorKind::Failed;
};

// A value or why there is none. Debian 12's g++ 12 has no std::expected, so a variant: std::get_if<Error>(&result)
// tells a failure.
template <typename T> using Result = std::variant<T, Error>;

} // namespace common
