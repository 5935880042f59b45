// A SAM Basic file is laid out as the SAM's SAVE writes one (checked against sam_basic_auto.mgt and
// sam-sequential.img): the nine-byte file header, the program with its 0xFF end marker, the 92 bytes of the
// numeric variables area as a fresh machine holds them, and a gap of 512 zero bytes before the (empty) string and
// array variables. The entry gives the three offsets (to the numeric variables, to their end, to the string
// variables) at 221-229 as page, offset + 0x8000 triplets, the program's start address 0x5CD5 + 0x4000 in page 0,
// a copy of the file header at 211-219, 0x20 at 220, and at 242-244 0x00 and the auto-run line, or 0xFF 0xFF 0xFF
// for none.
#include "files/basic_file.h"

#include "basic/listing.h"
#include "basic/sam_listing.h"
#include "basic/tokenise.h"
#include "common/bytes.h"
#include "common/number_text.h"
#include "files/make_disc.h"
#include "image/directory.h"

#include <algorithm>
#include <array>

namespace files {
namespace {

namespace e = image::entry;

constexpr std::uint16_t NO_AUTO_RUN = 0x8000;         // what SAVE without LINE puts in a ZX program's header
constexpr std::size_t ZX_MAX_PROGRAM = 65535 - 23755; // from PROG, the first program byte, to the top of memory

// The numeric variables area of a SAM program saved from a fresh machine: no variable of the program's own.
constexpr std::array<std::uint8_t, 92> SAM_NUMERIC_VARIABLES = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x19, 0x00, 0x03, 0x00, 0xFF, 0xFF, 0x02, 0x08, 0x00, 0x6F, 0x73,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xFF, 0xFF, 0x72, 0x67, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x02, 0x08, 0x00, 0x6F,
    0x73, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xFF, 0xFF, 0x72, 0x67, 0x00, 0x00, 0x00, 0x01, 0x00};
constexpr std::size_t SAM_GAP = 512;
constexpr std::size_t SAM_PAGE = image::SAM_PAGE_BYTES;
constexpr std::uint16_t SAM_OFFSET_BASE = 0x8000;
constexpr std::uint16_t SAM_PROGRAM_OFFSET = 0x9CD5; // PROG, 0x5CD5, in section C of page 0
constexpr std::size_t SAM_HEADER_COPY = 211;
constexpr std::size_t SAM_FLAGS = 220;
constexpr std::uint8_t SAM_FLAGS_BASIC = 0x20;
constexpr std::size_t SAM_OFFSETS = 221;
constexpr std::size_t SAM_UNUSED = 230; // to 235: 0x20, then 0xFF
constexpr std::size_t SAM_EXECUTE = 242;
constexpr std::uint8_t NONE = 0xFF;

std::variant<basic::Program, std::string> tokenised(std::span<const std::uint8_t> text, const BasicOptions& options)
{
    const basic::Machine machine = options.sam ? basic::Machine::Sam : basic::Machine::Zx;
    const std::uint16_t max_line = options.sam ? basic::SAM_MAX_LINE_NUMBER : basic::MAX_LINE_NUMBER;
    if (options.run_line && *options.run_line > max_line)
        return "an auto-run line is 0-" + std::to_string(max_line) + ", not " + std::to_string(*options.run_line);
    auto made = basic::tokenise(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), machine);
    if (auto* error = std::get_if<basic::TokeniseError>(&made))
        return basic::error_text(*error);
    return std::get<basic::Program>(std::move(made));
}

void put_page_form(image::EntryBytes& entry, std::size_t at, std::size_t value)
{
    entry[at] = static_cast<std::uint8_t>(value / SAM_PAGE);
    common::put_le16(entry, at + 1, static_cast<std::uint16_t>(value % SAM_PAGE + SAM_OFFSET_BASE));
}

image::DiscFile sam_basic(const std::vector<std::uint8_t>& program, const BasicOptions& options)
{
    image::DiscFile out;
    const std::size_t length = program.size() + SAM_NUMERIC_VARIABLES.size() + SAM_GAP;
    const auto pages = static_cast<std::uint8_t>(length / SAM_PAGE);
    const auto modulo = static_cast<std::uint16_t>(length % SAM_PAGE);
    // The file header, the program, the numeric variables, and the gap, zeros.
    out.body.assign(image::FILE_HEADER_SIZE + length, 0);
    image::put_sam_file_header(out.body, {.type = image::TYPE_SAM_BASIC,
                                          .length_modulo = modulo,
                                          .offset = SAM_PROGRAM_OFFSET,
                                          .pages = pages,
                                          .start_page = 0});
    const auto program_at = out.body.begin() + static_cast<std::ptrdiff_t>(image::FILE_HEADER_SIZE);
    std::copy(SAM_NUMERIC_VARIABLES.begin(), SAM_NUMERIC_VARIABLES.end(),
              std::copy(program.begin(), program.end(), program_at));

    image::EntryBytes& entry = out.entry;
    entry[e::STATUS] = image::TYPE_SAM_BASIC;
    const auto stored = image::stored_name(options.name);
    std::copy(stored.begin(), stored.end(), entry.begin() + e::NAME);
    std::copy_n(out.body.begin(), image::FILE_HEADER_SIZE, entry.begin() + SAM_HEADER_COPY);
    entry[SAM_FLAGS] = SAM_FLAGS_BASIC;
    put_page_form(entry, SAM_OFFSETS, program.size());
    put_page_form(entry, SAM_OFFSETS + 3, program.size() + SAM_NUMERIC_VARIABLES.size());
    put_page_form(entry, SAM_OFFSETS + 6, length);
    entry[SAM_UNUSED] = SAM_FLAGS_BASIC;
    std::fill(entry.begin() + SAM_UNUSED + 1, entry.begin() + e::SAM_START_PAGE, NONE);
    entry[e::SAM_START_PAGE] = 0;
    common::put_le16(entry, e::SAM_CODE_OFFSET, SAM_PROGRAM_OFFSET);
    entry[e::SAM_PAGE_COUNT] = pages;
    common::put_le16(entry, e::SAM_LENGTH, modulo);
    if (options.run_line) {
        entry[SAM_EXECUTE] = 0;
        common::put_le16(entry, SAM_EXECUTE + 1, *options.run_line);
    } else {
        std::fill_n(entry.begin() + SAM_EXECUTE, 3, NONE);
    }
    return out;
}

} // namespace

std::variant<tape::TapeFile, std::string> zx_basic_from_text(std::span<const std::uint8_t> text,
                                                             const BasicOptions& options)
{
    auto made = tokenised(text, options);
    if (auto* why = std::get_if<std::string>(&made))
        return std::move(*why);
    auto& program = std::get<basic::Program>(made).bytes;
    if (program.size() > ZX_MAX_PROGRAM)
        return "the program takes " + common::grouped(program.size()) + " bytes, more than the " +
               common::grouped(ZX_MAX_PROGRAM) + " a Spectrum holds";
    tape::TapeFile file;
    file.header[image::tape_header::TYPE] = image::TAPE_PROGRAM;
    const auto stored = image::stored_name(options.name);
    std::copy(stored.begin(), stored.end(), file.header.begin() + image::tape_header::NAME.at);
    const auto length = static_cast<std::uint16_t>(program.size());
    common::put_le16(file.header, image::tape_header::LENGTH, length);
    common::put_le16(file.header, image::tape_header::PARAM1, options.run_line.value_or(NO_AUTO_RUN));
    common::put_le16(file.header, image::tape_header::PARAM2, length);
    file.data = std::move(program);
    return file;
}

std::variant<image::DiscFile, std::string> basic_file_from_text(std::span<const std::uint8_t> text,
                                                                const BasicOptions& options)
{
    if (!options.sam) {
        auto file = zx_basic_from_text(text, options);
        if (auto* why = std::get_if<std::string>(&file))
            return std::move(*why);
        return disc_file(std::get<tape::TapeFile>(file));
    }
    auto made = tokenised(text, options);
    if (auto* why = std::get_if<std::string>(&made))
        return std::move(*why);
    return sam_basic(std::get<basic::Program>(made).bytes, options);
}

} // namespace files
