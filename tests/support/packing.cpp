#include "support/packing.h"

#include <zlib.h>

namespace testing_support {

std::vector<std::uint8_t> gzip_bytes(std::span<const std::uint8_t> bytes, const std::string& stored_name)
{
    constexpr int GZIP_WINDOW_BITS = 16 + MAX_WBITS;
    constexpr int MEMORY_LEVEL = 8;
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, GZIP_WINDOW_BITS, MEMORY_LEVEL, Z_DEFAULT_STRATEGY);
    gz_header header{};
    header.name = reinterpret_cast<Bytef*>(const_cast<char*>(stored_name.c_str())); // zlib only reads it
    if (!stored_name.empty())
        deflateSetHeader(&stream, &header);
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + stored_name.size());
    stream.next_in = const_cast<Bytef*>(bytes.data()); // zlib only reads it
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

} // namespace testing_support
