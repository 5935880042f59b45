#include "image/file_types.h"

namespace image {
namespace {

constexpr std::array<FileType, TYPE_CODES> make_table()
{
    using H = HeaderCheck;
    std::array<FileType, TYPE_CODES> t{};
    t[1] = {"ZX Basic", TAPE_PROGRAM, H::Zx, true};
    t[2] = {"ZX NumArray", TAPE_NUMBER_ARRAY, H::Zx, true};
    t[3] = {"ZX $Array", TAPE_CHARACTER_ARRAY, H::Zx, true};
    t[4] = {"ZX Code", TAPE_BYTES, H::Zx, true};
    t[5] = {"ZX 48K Snap", std::nullopt, H::None, true, false, true};
    t[6] = {"ZX MD File", std::nullopt, H::Zx, true};
    t[7] = {"ZX Screen$", TAPE_BYTES, H::Zx, true};
    t[8] = {"ZX Special", std::nullopt, H::Zx, true};
    t[9] = {"ZX 128K Snap", std::nullopt, H::None, true, false, true};
    t[10] = {"ZX OpenType", std::nullopt, H::None, true};
    t[11] = {"ZX Execute", std::nullopt, H::None, true};
    t[12] = {"UniDos SubDir", std::nullopt, H::None};
    t[12].subdirectory = true;
    t[13] = {"UniDos Create", std::nullopt, H::None};
    t[16] = {"SAM Basic", std::nullopt, H::Sam, false, true};
    t[17] = {"SAM NumArray", std::nullopt, H::Sam, false, true};
    t[18] = {"SAM $Array", std::nullopt, H::Sam, false, true};
    t[19] = {"SAM Code", std::nullopt, H::Sam, false, true};
    t[20] = {"SAM Screen", std::nullopt, H::Sam, false, true};
    // MasterDOS's subdirectory, and the two kinds of MasterDOS DRIVER files, which are SAM files with the usual
    // header (an application, and what DRIVER loads when it boots).
    t[21] = {"SAM SubDir", std::nullopt, H::None};
    t[22] = {"SAM Driver App", std::nullopt, H::Sam, false, true};
    t[23] = {"SAM Driver Boot", std::nullopt, H::Sam, false, true};
    // 14, 15 and 24-63 have no name; the scan compares the SAM fields of every code from 16 up but the
    // MasterDOS subdirectory.
    for (int code = 24; code < TYPE_CODES; ++code)
        t[static_cast<std::size_t>(code)].header_check = H::Sam;
    for (int code = TYPE_SAM_BASIC; code < TYPE_CODES; ++code)
        t[static_cast<std::size_t>(code)].sam_system = true;
    t[TYPE_MASTERDOS_SUBDIRECTORY].subdirectory = true;
    t[TYPE_MASTERDOS_SUBDIRECTORY].note = "MasterDOS subdirectory";
    t[0].note = "free entry";
    constexpr std::string_view keys[] = {"",
                                         "zx-basic",
                                         "zx-number-array",
                                         "zx-string-array",
                                         "zx-code",
                                         "zx-snap-48k",
                                         "zx-md-file",
                                         "zx-screen",
                                         "zx-special",
                                         "zx-snap-128k",
                                         "zx-opentype",
                                         "zx-execute",
                                         "unidos-subdir",
                                         "unidos-create",
                                         "",
                                         "",
                                         "sam-basic",
                                         "sam-number-array",
                                         "sam-string-array",
                                         "sam-code",
                                         "sam-screen",
                                         "sam-subdir",
                                         "sam-driver-app",
                                         "sam-driver-boot"};
    for (std::size_t code = 0; code < std::size(keys); ++code)
        t[code].key = keys[code];
    return t;
}

constexpr std::array<FileType, TYPE_CODES> TYPES = make_table();

} // namespace

const FileType& file_type(int code)
{
    return TYPES[code >= 0 && code < TYPE_CODES ? static_cast<std::size_t>(code) : 0];
}

int type_code_of_tape(std::uint8_t tape_type)
{
    for (int code = 0; code < TYPE_CODES; ++code) {
        if (TYPES[static_cast<std::size_t>(code)].tape == tape_type)
            return code;
    }
    return 0;
}

std::string type_note(int code)
{
    const FileType& type = file_type(code);
    if (!type.name.empty())
        return {};
    const std::string number = " (" + std::to_string(code) + ")";
    if (!type.note.empty())
        return std::string(type.note) + number;
    return "type code" + number + ": no +D, UNI-DOS or SAM file type is known to use it";
}

} // namespace image
