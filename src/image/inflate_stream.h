// zlib's inflate stream, owned: the gzip reader and the zip archive unpack through it.
#pragma once

#include <string>

#include <zlib.h>

namespace image {

class InflateStream
{
public:
    // `window_bits` as inflateInit2 takes them: gzip wrapping, or raw deflate data as zip keeps it.
    explicit InflateStream(int window_bits) { m_ok = inflateInit2(&m_stream, window_bits) == Z_OK; }
    ~InflateStream()
    {
        if (m_ok)
            inflateEnd(&m_stream);
    }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    // False when zlib could not start (out of memory).
    bool ok() const { return m_ok; }
    z_stream& stream() { return m_stream; }
    // Why zlib refused the data, in the words the program shows.
    std::string damage_text() const
    {
        return std::string("packed data is damaged (") + (m_stream.msg != nullptr ? m_stream.msg : "invalid data") +
               ")";
    }

private:
    z_stream m_stream{};
    bool m_ok = false;
};

} // namespace image
