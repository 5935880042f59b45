#include "image/sector_map.h"

#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SectorMap, SectorsForTakesAFirstSectorEvenForNoBytes)
{
    struct Case
    {
        std::size_t bytes, sectors;
    };
    const Case cases[] = {{0, 1}, {1, 1}, {510, 1}, {511, 2}, {1020, 2}, {1021, 3}, {1560 * 510, 1560}};
    for (const Case& c : cases)
        EXPECT_EQ(image::sectors_for(c.bytes), c.sectors) << c.bytes;
}

TEST(SectorMap, AllocateTakesTheLowestFreeSectorsAndIterateGivesThemInOrder)
{
    struct Case
    {
        std::vector<int> held;
        std::size_t count;
        std::optional<std::vector<int>> taken;
    };
    const Case cases[] = {
        {{}, 1, std::vector<int>{0}}, {{0, 1, 3}, 3, std::vector<int>{2, 4, 5}}, {{0, 1559}, 2, std::vector<int>{1, 2}},
        {{5}, 1560, std::nullopt}, // one short: nothing is taken
        {{}, 0, std::vector<int>{}},
    };
    for (const Case& c : cases) {
        image::SectorMap map;
        for (const int index : c.held)
            map.add(index);
        const image::SectorMap before = map;
        EXPECT_EQ(map.allocate(c.count), c.taken) << c.count;
        std::vector<int> expected = c.held;
        if (c.taken)
            expected.insert(expected.end(), c.taken->begin(), c.taken->end());
        std::sort(expected.begin(), expected.end());
        std::vector<int> visited;
        map.for_each([&](int index) { visited.push_back(index); });
        EXPECT_EQ(visited, expected);
        if (!c.taken) {
            EXPECT_EQ(map, before);
        }
        // The map an entry keeps reads back as the same set.
        image::EntryBytes entry{};
        map.put_into(entry);
        EXPECT_EQ(image::SectorMap::of_entry(entry), map);
    }
}

// Every entry of the real discs: the fields the codec owns, overwritten, are restored by encoding what was decoded,
// byte for byte, and the rest of the entry is left as it was.
TEST(DirectoryEntryCodec, EncodingTheDecodedEntryGivesBackTheRealDiscsBytes)
{
    const std::size_t owned[][2] = {{0, 15}, {212, 216}, {236, 242}};
    int entries = 0;
    for (const auto& path : testing_support::real_images()) {
        auto disc = testing_support::open_source(path);
        for (int slot = 0; slot < image::DIRECTORY_SLOTS; ++slot) {
            const image::EntryBytes bytes = image::read_entry_bytes(*disc, slot);
            image::EntryBytes scrambled = bytes;
            for (const auto& range : owned)
                for (std::size_t at = range[0]; at < range[1]; ++at)
                    scrambled[at] ^= 0xA5;
            image::encode_directory_entry(image::decode_directory_entry(bytes), scrambled);
            EXPECT_EQ(scrambled, bytes) << path.filename() << " slot " << slot;
            entries += bytes[image::entry::STATUS] != 0 ? 1 : 0;
        }
    }
    EXPECT_GT(entries, 100); // real files were encoded, not only free slots
}
