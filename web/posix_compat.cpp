// getrandom(), which Debian's Emscripten (3.1.6) declares but does not provide: the temporary files of the
// in-memory file system are named from getentropy(), which it does provide.
#include <cerrno>
#include <cstddef>
#include <sys/random.h>
#include <sys/types.h>
#include <unistd.h>

extern "C" ssize_t getrandom(void* buffer, size_t length, unsigned int)
{
    constexpr size_t MAX_ENTROPY = 256; // the most getentropy() gives at once
    if (length > MAX_ENTROPY)
        length = MAX_ENTROPY;
    if (getentropy(buffer, length) != 0)
        return -1;
    return static_cast<ssize_t>(length);
}
