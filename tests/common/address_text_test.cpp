#include "common/address_text.h"

#include <gtest/gtest.h>

TEST(AddressText, DecimalOrHexAfterItsMarkWithinTheLimit)
{
    struct Case
    {
        const char* text;
        std::uint32_t limit;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {"32768", 0xFFFF, 32768},
        {"0x8000", 0xFFFF, 0x8000},
        {"0X7fff", 0xFFFF, 0x7FFF},
        {"#C000", 0xFFFF, 0xC000},
        {"$4000", 0xFFFF, 0x4000},
        {" 100\t", 0xFFFF, 100},
        {"65535", 0xFFFF, 65535},
        {"65536", 0xFFFF, {}},
        {"0x7FFFF", 0x7FFFF, 0x7FFFF},
        {"4294967295", 0xFFFFFFFF, 0xFFFFFFFF},
        {"4294967296", 0xFFFFFFFF, {}}, // beyond 32 bits
        {"", 0xFFFF, {}},
        {"  ", 0xFFFF, {}},
        {"0x", 0xFFFF, {}},
        {"#", 0xFFFF, {}},
        {"-1", 0xFFFF, {}},
        {"+1", 0xFFFF, {}},
        {"12ab", 0xFFFF, {}},
        {"0x1G", 0xFFFF, {}},
        {"1 2", 0xFFFF, {}},
        {"$-1", 0xFFFF, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(common::parse_address(c.text, c.limit), c.value) << '"' << c.text << '"';
}
