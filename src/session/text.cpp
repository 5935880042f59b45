#include "session/text.h"

namespace session {

Text& Text::add(Encoding encoding, std::string bytes)
{
    if (!bytes.empty())
        m_pieces.push_back({encoding, std::move(bytes)});
    return *this;
}

Text& Text::append(const Text& more)
{
    m_pieces.insert(m_pieces.end(), more.m_pieces.begin(), more.m_pieces.end());
    return *this;
}

std::string Text::bytes() const
{
    std::string all;
    for (const Piece& piece : m_pieces)
        all += piece.encoding == Encoding::Name ? trimmed_name(piece.bytes) : piece.bytes;
    return all;
}

std::string trimmed_name(const std::string& name)
{
    const auto end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

} // namespace session
