// Numbers as messages show them.
#pragma once

#include <cstdint>
#include <string>

namespace common {

// The decimal digits with a comma before each group of three: 19526 -> "19,526".
inline std::string grouped(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (auto at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

} // namespace common
