#include "image/gzip_reader.h"

#include "image/inflate_stream.h"

#include <algorithm>
#include <array>
#include <limits>

#include <zlib.h>

namespace image {

namespace {

// zlib's window bits plus 16: gzip wrapping only, no raw or zlib streams.
constexpr int GZIP_WINDOW_BITS = 16 + MAX_WBITS;
constexpr std::size_t OUT_BLOCK = 64 * 1024;

} // namespace

std::variant<std::vector<std::uint8_t>, common::Error> gunzip(std::span<const std::uint8_t> packed, std::size_t cap,
                                                              std::string* stored_name)
{
    if (!is_gzip(packed))
        return common::Error{"not gzip data", common::ErrorKind::NotAnImage};
    InflateStream inflater(GZIP_WINDOW_BITS);
    if (!inflater.ok())
        return common::Error{"cannot start unpacking (out of memory)"};
    z_stream& stream = inflater.stream();
    // zlib fills in the first member's header; inflateReset forgets the request, so later members' are not read.
    std::array<char, MAX_STORED_NAME + 1> name{};
    gz_header header{};
    header.name = reinterpret_cast<Bytef*>(name.data());
    header.name_max = static_cast<uInt>(MAX_STORED_NAME);
    if (stored_name != nullptr) {
        stored_name->clear();
        if (inflateGetHeader(&stream, &header) != Z_OK)
            return common::Error{"cannot start unpacking"};
    }
    std::vector<std::uint8_t> out;
    std::array<std::uint8_t, OUT_BLOCK> block{};
    std::size_t consumed = 0; // input handed to zlib so far
    auto feed = [&] {
        // zlib counts input in 32 bits; a larger span is handed over in pieces.
        if (stream.avail_in == 0 && consumed < packed.size()) {
            const std::size_t piece = std::min<std::size_t>(packed.size() - consumed, std::numeric_limits<uInt>::max());
            stream.next_in = const_cast<Bytef*>(packed.data() + consumed); // zlib only reads it
            stream.avail_in = static_cast<uInt>(piece);
            consumed += piece;
        }
    };
    // Every pass either takes input or gives output, and the output is capped, so the loop ends.
    for (;;) {
        feed();
        stream.next_out = block.data();
        stream.avail_out = static_cast<uInt>(block.size());
        const int result = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = block.size() - stream.avail_out;
        if (out.size() + produced > cap)
            return common::Error{"unpacks to more than " + size_text(cap) + ": too large for a disc image",
                                 common::ErrorKind::NotAnImage};
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(produced));
        if (result == Z_STREAM_END) {
            const std::size_t rest = packed.size() - consumed + stream.avail_in;
            const std::span<const std::uint8_t> after = packed.subspan(packed.size() - rest);
            // Another member follows, or the end: bytes after the last member are ignored, as gzip itself does.
            if (!is_gzip(after)) {
                // zlib sets header.name to null when the member stores no name. It writes at most name_max bytes,
                // so the last byte of the array ends even a name that was cut.
                if (stored_name != nullptr && header.name != Z_NULL)
                    *stored_name = name.data();
                return out;
            }
            if (inflateReset(&stream) != Z_OK)
                return common::Error{inflater.damage_text()};
            continue;
        }
        if (result == Z_OK)
            continue;
        if (result == Z_BUF_ERROR && stream.avail_in == 0 && consumed == packed.size())
            return common::Error{"packed data ends early: the file is cut off"};
        if (result == Z_MEM_ERROR)
            return common::Error{"out of memory while unpacking"};
        return common::Error{inflater.damage_text()};
    }
}

} // namespace image
