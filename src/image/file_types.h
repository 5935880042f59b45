// What the directory's type codes mean, stated once: the list's type name, whether the file has a tape form,
// which comparison the integrity scan makes between the entry and the file's own header, and whether the file is
// a ZX or a SAM file or a snapshot. Codes are the low six bits of an entry's first byte (0 a free entry), less bit
// 5 on a SAM code (image/directory.h: type_code_of).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace image {

enum class HeaderCheck
{
    None, // the file has no header that mirrors the entry
    Zx,   // length and start against the ZX fields of the entry
    Sam,  // type, last-page length and page count against the SAM fields
};

struct FileType
{
    std::string_view name;            // "" for codes without a name
    std::optional<std::uint8_t> tape; // the tape header type of a file with a tape form
    HeaderCheck header_check = HeaderCheck::None;
    bool zx = false;       // ZX file: start and length in the ZX fields
    bool sam = false;      // SAM file: start and length in the SAM fields
    bool snapshot = false; // a snapshot saved by the interface's button
    // A subdirectory: UNI-DOS (12) gives one a run of sectors holding 256-byte directory entries, whose last bytes
    // are entry bytes, not links, and counts the sectors of the files inside it; MasterDOS (21) gives one no
    // sectors at all and names the directory sector of its own entry as its first. Neither has a file header or a
    // chain to walk.
    bool subdirectory = false;
    // What is known of a code without a name ("" when nothing is).
    std::string_view note = {};
    // A code of the SAM's systems (16-63): its files, MasterDOS subdirectories and the codes above them that no
    // system is known to use. None of them has a tape form.
    bool sam_system = false;
    // The name scripts use for the type ("zx-basic"), lower case with dashes: `kestrel-cli find --type` takes it
    // and the JSON outputs give it. "" for codes without a name.
    std::string_view key = {};
};

// Types in a ZX tape header.
inline constexpr std::uint8_t TAPE_PROGRAM = 0;
inline constexpr std::uint8_t TAPE_NUMBER_ARRAY = 1;
inline constexpr std::uint8_t TAPE_CHARACTER_ARRAY = 2;
inline constexpr std::uint8_t TAPE_BYTES = 3;

inline constexpr int TYPE_CODES = 64;
inline constexpr int TYPE_ZX_BASIC = 1;
inline constexpr int TYPE_ZX_NUMBER_ARRAY = 2;
inline constexpr int TYPE_ZX_STRING_ARRAY = 3;
inline constexpr int TYPE_ZX_CODE = 4;
inline constexpr int TYPE_ZX_SNAP_48K = 5;
inline constexpr int TYPE_ZX_SCREEN = 7;
inline constexpr int TYPE_ZX_SNAP_128K = 9;
inline constexpr int TYPE_SAM_BASIC = 16;
inline constexpr int TYPE_SAM_NUMBER_ARRAY = 17;
inline constexpr int TYPE_SAM_STRING_ARRAY = 18;
inline constexpr int TYPE_SAM_SCREEN = 20;
inline constexpr int TYPE_SAM_CODE = 19;
inline constexpr int TYPE_MASTERDOS_SUBDIRECTORY = 21;
inline constexpr int TYPE_SAM_DRIVER_APP = 22;
inline constexpr int TYPE_SAM_DRIVER_BOOT = 23;

// A file of exactly this many bytes is a screen (the list's Length reads "6912").
inline constexpr std::int64_t SCREEN_LENGTH = 6912;

// The type of a code; codes outside 0-63 read as code 0.
const FileType& file_type(int code);

// For a code without a name: what is known of it ("MasterDOS subdirectory (21)"), or that no file type of the
// +D, UNI-DOS or SAM systems is known to use it. "" for a code with a name.
std::string type_note(int code);

inline bool has_tape_form(int code)
{
    return file_type(code).tape.has_value();
}

// The type code a file of a tape header type (0-3) takes on a disc: the first code of that tape form, so bytes
// become ZX Code (whether they make a screen is the caller's to judge). 0 for a tape type no code has.
int type_code_of_tape(std::uint8_t tape_type);

} // namespace image
