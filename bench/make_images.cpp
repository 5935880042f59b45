// Writes COUNT disc images of 819,200 bytes, each with 80 ZX files in 1,472 sectors, into a folder, for the
// command-line benchmarks.
// Usage: make_images FOLDER COUNT
#include "support/image_builder.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_images FOLDER COUNT\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = std::atoi(argv[2]);
    std::filesystem::create_directories(folder);
    std::mt19937 random(1234);
    for (int n = 0; n < count; ++n) {
        testing_support::ImageBuilder b;
        for (int slot = 0; slot < 80; ++slot) {
            // 19 or 20 sectors a file, 14 for the 16 screens: 1,472 of the 1,520 sectors the image builder hands
            // out (tracks 4-79 of both sides; a real disc also has tracks 0-3 of side 1, 1,560 in all).
            const std::size_t sectors = slot % 2 == 0 ? 19 : 20;
            std::vector<std::uint8_t> data(sectors * 510 - 9);
            for (auto& byte : data)
                byte = static_cast<std::uint8_t>(random());
            const std::uint8_t types[] = {1, 2, 3, 4, 7};
            const std::uint8_t type = types[slot % 5];
            if (type == 7)
                data.resize(6912);
            b.add_zx_file(slot, type, "file" + std::to_string(slot), data, 32768, 10,
                          static_cast<std::uint16_t>(data.size()));
        }
        char name[32];
        std::snprintf(name, sizeof name, "disc%04d.mgt", n);
        b.write(folder / name);
    }
    return 0;
}
