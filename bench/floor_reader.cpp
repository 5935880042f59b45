// The floor under a listing: a minimal C++ program that opens an image and reads its 40 directory sectors with
// one pread each, and nothing else. bench/cli_vs_cat.sh runs it a process per image beside kestrel-cli list.
// Usage: floor_reader COMMAND IMAGE (COMMAND is ignored, so that it takes kestrel-cli's arguments).
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    constexpr int DIRECTORY_SECTORS = 40;
    constexpr long SECTOR_SIZE = 512;
    constexpr long CYLINDER_BYTES = 10240;
    constexpr int SECTORS_PER_TRACK = 10;
    if (argc < 3)
        return 2;
    const int fd = ::open(argv[2], O_RDONLY);
    if (fd < 0)
        return 2;
    char sector[SECTOR_SIZE];
    long total = 0;
    for (int i = 0; i < DIRECTORY_SECTORS; ++i) {
        const long offset = i / SECTORS_PER_TRACK * CYLINDER_BYTES + i % SECTORS_PER_TRACK * SECTOR_SIZE;
        total += ::pread(fd, sector, sizeof sector, offset);
    }
    ::close(fd);
    std::printf("%ld\n", total);
    return 0;
}
