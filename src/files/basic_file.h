// BASIC programs written as text, made into the files the machines save: the tokeniser (basic/tokenise.h) makes
// the program, and this gives it the tape header of a ZX program or the disc file of a SAM one.
#pragma once

#include "image/disc_writer.h"
#include "tape/tape_reader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace files {

// The largest BASIC text read.
inline constexpr std::size_t MAX_BASIC_TEXT = 4 * 1024 * 1024;

struct BasicOptions
{
    std::string_view name;                 // raw bytes, cut to 10 and padded
    std::optional<std::uint16_t> run_line; // the line the program runs from when loaded; none by default
    bool sam = false;
};

// A ZX program as the ROM's SAVE "name" LINE n writes it to tape (no variables), or the reason the text is not a
// program ("line 3: no line number").
std::variant<tape::TapeFile, std::string> zx_basic_from_text(std::span<const std::uint8_t> text,
                                                             const BasicOptions& options);

// The disc file of the program: for ZX the +D file of that tape file; for SAM a SAM Basic file (type 16) as the
// SAM's SAVE writes one.
std::variant<image::DiscFile, std::string> basic_file_from_text(std::span<const std::uint8_t> text,
                                                                const BasicOptions& options);

} // namespace files
