// Addresses as people type them, for the command line's options and the window's questions alike.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace common {

// An address in decimal, or in hexadecimal after "0x", "#" or "$", with blanks around it ignored; nothing when the
// text is no such number or its value is above `limit`.
std::optional<std::uint32_t> parse_address(std::string_view text,
                                           std::uint32_t limit = std::numeric_limits<std::uint32_t>::max());

} // namespace common
