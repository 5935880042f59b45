// A text for the user made of pieces that keep what their bytes are: a host path in the local 8-bit encoding, disc
// bytes of one character each, a disc text shown on one line, or a file's name as its directory entry keeps it.
// Each front end shows the pieces its own way (the window decodes a path and escapes control bytes; the web page
// shows every byte as a character), so the use cases word a text once without deciding how it is shown.
#pragma once

#include <string>
#include <vector>

namespace session {

enum class Encoding
{
    Path,  // host path bytes, and the plain ASCII words around them
    Disc,  // disc bytes, one character each (a disc's label)
    Shown, // a disc text kept on one line: control bytes escaped
    Name,  // a file's name padded to 10 in its entry: shown as disc text, the padding left off
};

struct Piece
{
    Encoding encoding = Encoding::Path;
    std::string bytes;
};

class Text
{
public:
    Text() = default;
    explicit Text(std::string words) { add(Encoding::Path, std::move(words)); }
    Text(Encoding encoding, std::string bytes) { add(encoding, std::move(bytes)); }

    Text& path(std::string bytes) { return add(Encoding::Path, std::move(bytes)); }
    Text& disc(std::string bytes) { return add(Encoding::Disc, std::move(bytes)); }
    Text& name(std::string bytes) { return add(Encoding::Name, std::move(bytes)); }
    Text& append(const Text& more);

    const std::vector<Piece>& pieces() const { return m_pieces; }
    bool empty() const { return m_pieces.empty(); }
    // The bytes as they stand, a name without its padding: the web page's form.
    std::string bytes() const;

private:
    Text& add(Encoding encoding, std::string bytes);
    std::vector<Piece> m_pieces;
};

// A file's name without the blanks that pad it in its entry.
std::string trimmed_name(const std::string& name);

} // namespace session
