#include "common/address_text.h"

#include <charconv>

namespace common {

std::optional<std::uint32_t> parse_address(std::string_view text, std::uint32_t limit)
{
    constexpr std::string_view BLANKS = " \t\r\n\v\f";
    constexpr int HEX = 16;
    constexpr int DECIMAL = 10;
    const auto first = text.find_first_not_of(BLANKS);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
    int base = DECIMAL;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = HEX;
    } else if (text.starts_with('#') || text.starts_with('$')) {
        text.remove_prefix(1);
        base = HEX;
    }
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end || value > limit)
        return std::nullopt;
    return value;
}

} // namespace common
