// Disc files made of host files: the standard files of a tape (read as `make` reads them), a +D snapshot of an
// emulator snapshot, a BASIC program of BASIC text (.bas), or one code file of anything else.
//
// A SAM Code file (type 19) is laid out as SAMDOS writes one. The nine-byte file header is the SAM Coupe Technical
// Manual 3.0's (its SAMDOS chapter, as World of Sam and the Sam Coupe Scrapbook keep it): type, length modulo
// 16 KiB, the offset within the start page, two unused bytes, the number of whole pages, the start page. The
// entry's fields are those the catalogue reads (start page 236, offset 237-238, pages 239, length modulo 16 KiB
// 240-241), and the execution address lies in 242-244 as a page and an offset, 0xFF 0xFF 0xFF for none. Checked
// against samdos2.mgt and pyz80's bootable.dsk: offsets kept as 0x8000-0xBFFF, the unused header bytes 0xFF (as
// SAMDOS left them), no execution address 0xFF 0xFF 0xFF; entry bytes 211-219 hold a copy of the file header, as
// SAMDOS, MasterDOS and samfile write it. A start address A is page A / 16384 - 1 and offset A mod 16384 (the
// ROM's first 16 KiB are no page); an execution address is page A / 16384 and the same offset, as the ROM jumps
// to it (32768 is 02 00 80 on real discs).
#include "files/disc_edit.h"

#include "common/bytes.h"
#include "common/file_read.h"
#include "common/number_text.h"
#include "common/path_text.h"
#include "files/basic_file.h"
#include "files/make_disc.h"
#include "image/directory.h"
#include "image/file_types.h"
#include "image/host_kinds.h"
#include "image/image_kinds.h"
#include "snapshot/plusd_snapshot.h"

#include <algorithm>

namespace files {
namespace {

namespace e = image::entry;

constexpr std::uint32_t DEFAULT_START = 32768;
constexpr std::size_t ZX_MAX_BYTES = 65535;
constexpr auto SAM_PAGE = static_cast<std::uint32_t>(image::SAM_PAGE_BYTES);
constexpr std::uint32_t SAM_FIRST_ADDRESS = SAM_PAGE; // below it the ROM
constexpr std::uint32_t SAM_ADDRESS_END = 0x80000;    // 19 bits: 512 KiB
constexpr std::uint16_t SAM_OFFSET_BASE = 0x8000;     // offsets are kept as addresses in section C
constexpr std::uint8_t SAM_PAGE_MASK = 0x1F;
constexpr std::uint8_t NO_EXECUTE = 0xFF;
constexpr std::uint16_t ZX_CODE_PARAM2 = 32768; // what the ROM's SAVE puts in a CODE header's second parameter
// The largest snapshot file read: a 128K .z80 with every bank stored unpacked, and room to spare.
constexpr std::size_t MAX_SNAPSHOT_FILE_BYTES = 256 * 1024;

constexpr std::size_t SAM_EXECUTE = 242; // entry: page, then offset

using image::HostKind;

// The name a host file gives: its file name without the extension, cut to 10 bytes (padding is the entry's).
std::string host_name(const std::string& path)
{
    std::string name = common::without_extension(common::file_part(path));
    if (name.empty())
        name = common::file_part(path);
    return name.substr(0, e::NAME_LEN);
}

void put_name(image::EntryBytes& entry, std::string_view name)
{
    const auto stored = image::stored_name(name);
    std::copy(stored.begin(), stored.end(), entry.begin() + e::NAME);
}

std::variant<std::vector<std::uint8_t>, std::string> read_host(const std::string& path, std::size_t cap,
                                                               std::string_view what)
{
    auto bytes = common::read_whole_file(path, cap, what);
    if (auto* failure = std::get_if<common::Error>(&bytes))
        return std::move(failure->text);
    return std::get<std::vector<std::uint8_t>>(std::move(bytes));
}

std::variant<FilesToAdd, std::string> from_tape(LoadedTape loaded, const std::string& path, const AddOptions& options)
{
    std::vector<LoadedTape> tapes;
    tapes.push_back(std::move(loaded));
    const LoadedTape& tape = tapes.front();
    if (!tape.refusal.empty())
        return tape.refusal;
    FilesToAdd out;
    out.notes = tape_lines(tapes);
    // What does not fit one disc is counted, so that adding the tape says how much room it lacks.
    out.overflow = {tape.contents.files_beyond, tape.contents.sectors_beyond};
    for (const tape::TapeFile& file : tape.contents.files)
        out.files.push_back({disc_file(file), path + " block #" + std::to_string(file.header_block)});
    if (out.files.empty())
        return std::string("no file a standard loader reads is on the tape");
    if (options.name) {
        if (out.files.size() != 1)
            return "a new name names one file; the tape holds " + std::to_string(out.files.size());
        put_name(out.files.front().file.entry, *options.name);
    }
    return out;
}

std::variant<FilesToAdd, std::string> from_snapshot(const std::string& path, std::span<const std::uint8_t> bytes,
                                                    const AddOptions& options)
{
    auto snap = snapshot::decode_file(bytes, *snapshot::format_from_path(path));
    if (auto* error = std::get_if<common::Error>(&snap))
        return std::move(error->text);
    auto file =
        snapshot::encode_plusd_snapshot(std::get<snapshot::Snapshot>(snap), options.name.value_or(host_name(path)));
    if (auto* error = std::get_if<common::Error>(&file))
        return std::move(error->text);
    FilesToAdd out;
    out.files.push_back({std::get<image::DiscFile>(std::move(file)), path});
    return out;
}

// ZX Code: the disc file a tape of one CODE block would give, so that the entry is the one `make` writes.
std::variant<image::DiscFile, std::string> zx_code(std::span<const std::uint8_t> data, std::string_view name,
                                                   std::uint32_t start)
{
    if (start > 0xFFFF)
        return "a ZX start address is 0-65535, not " + std::to_string(start);
    if (start + data.size() > 0x10000)
        return "the code runs past address 65535: " + common::grouped(data.size()) + " bytes from " +
               std::to_string(start);
    tape::TapeFile file;
    file.header[image::tape_header::TYPE] = image::TAPE_BYTES;
    static_assert(image::tape_header::NAME.length == e::NAME_LEN);
    const auto stored = image::stored_name(name);
    std::copy(stored.begin(), stored.end(), file.header.begin() + image::tape_header::NAME.at);
    common::put_le16(file.header, image::tape_header::LENGTH, static_cast<std::uint16_t>(data.size()));
    common::put_le16(file.header, image::tape_header::PARAM1, static_cast<std::uint16_t>(start));
    common::put_le16(file.header, image::tape_header::PARAM2, ZX_CODE_PARAM2);
    file.data.assign(data.begin(), data.end());
    return disc_file(file);
}

std::variant<image::DiscFile, std::string> sam_code(std::span<const std::uint8_t> data, std::string_view name,
                                                    std::uint32_t start, std::optional<std::uint32_t> exec)
{
    auto address_ok = [](std::uint32_t a) {
        return a >= SAM_FIRST_ADDRESS && a < SAM_ADDRESS_END;
    };
    if (!address_ok(start))
        return "a SAM start address is 16384-524287, not " + std::to_string(start);
    if (exec && !address_ok(*exec))
        return "a SAM execution address is 16384-524287, not " + std::to_string(*exec);
    if (start + data.size() > SAM_ADDRESS_END)
        return "the code runs past the SAM's 512 KiB: " + common::grouped(data.size()) + " bytes from " +
               std::to_string(start);
    auto page_of = [](std::uint32_t a) {
        return static_cast<std::uint8_t>((a / SAM_PAGE - 1) & SAM_PAGE_MASK);
    };
    auto execute_page_of = [](std::uint32_t a) {
        return static_cast<std::uint8_t>((a / SAM_PAGE) & SAM_PAGE_MASK);
    };
    auto offset_of = [](std::uint32_t a) {
        return static_cast<std::uint16_t>(a % SAM_PAGE + SAM_OFFSET_BASE);
    };
    const auto pages = static_cast<std::uint8_t>(data.size() / SAM_PAGE);
    const auto modulo = static_cast<std::uint16_t>(data.size() % SAM_PAGE);

    image::DiscFile out;
    image::EntryBytes& entry = out.entry;
    entry[e::STATUS] = image::TYPE_SAM_CODE;
    put_name(entry, name);
    entry[e::SAM_START_PAGE] = page_of(start);
    common::put_le16(entry, e::SAM_CODE_OFFSET, offset_of(start));
    entry[e::SAM_PAGE_COUNT] = pages;
    common::put_le16(entry, e::SAM_LENGTH, modulo);
    if (exec) {
        entry[SAM_EXECUTE] = execute_page_of(*exec);
        common::put_le16(entry, SAM_EXECUTE + 1, offset_of(*exec));
    } else {
        std::fill_n(entry.begin() + SAM_EXECUTE, 3, NO_EXECUTE);
    }
    out.body.assign(image::FILE_HEADER_SIZE, 0);
    image::put_sam_file_header(out.body, {.type = image::TYPE_SAM_CODE,
                                          .length_modulo = modulo,
                                          .offset = offset_of(start),
                                          .pages = pages,
                                          .start_page = page_of(start)});
    std::copy_n(out.body.begin(), image::FILE_HEADER_SIZE, entry.begin() + e::FILE_HEADER);
    out.body.insert(out.body.end(), data.begin(), data.end());
    return out;
}

std::variant<FilesToAdd, std::string> from_code(const std::string& path, std::span<const std::uint8_t> data,
                                                const AddOptions& options)
{
    const std::string name = options.name.value_or(host_name(path));
    const std::uint32_t start = options.start.value_or(DEFAULT_START);
    auto file = options.sam ? sam_code(data, name, start, options.exec) : zx_code(data, name, start);
    if (auto* why = std::get_if<std::string>(&file))
        return std::move(*why);
    FilesToAdd out;
    out.files.push_back({std::get<image::DiscFile>(std::move(file)), path});
    return out;
}

std::variant<FilesToAdd, std::string> from_basic(const std::string& path, std::span<const std::uint8_t> text,
                                                 const AddOptions& options)
{
    const std::string name = options.name.value_or(host_name(path));
    auto file = basic_file_from_text(text, {name, options.line, options.sam});
    if (auto* why = std::get_if<std::string>(&file))
        return std::move(*why);
    FilesToAdd out;
    out.files.push_back({std::get<image::DiscFile>(std::move(file)), path});
    return out;
}

// Why the options do not go with a file of this name; std::nullopt when they do.
std::optional<std::string> options_refused(const std::string& path, HostKind kind, const AddOptions& options)
{
    if (options.name && std::all_of(options.name->begin(), options.name->end(), [](char c) { return c == ' '; }))
        return std::string("a name needs at least one character other than a space");
    if (kind == HostKind::BasicText && (options.start || options.exec))
        return std::string("--start and --exec are for code files, not BASIC text");
    if (kind != HostKind::Code && kind != HostKind::BasicText && (options.sam || options.start || options.exec))
        return std::string("--sam, --start and --exec are for code files, not tapes or snapshots");
    if (options.line && kind != HostKind::BasicText)
        return std::string("--line is for BASIC text (.bas)");
    if (!options.sam && options.exec)
        return std::string("--exec is for SAM code (--sam)");
    if (kind == HostKind::Code && image::is_any_image_name(path))
        return path + ": a disc image, not a file to add (convert its files to a tape first)";
    return std::nullopt;
}

std::variant<FilesToAdd, std::string> from_bytes(const std::string& path, HostKind kind,
                                                 std::span<const std::uint8_t> bytes, const AddOptions& options)
{
    switch (kind) {
    case HostKind::Snapshot:
        return from_snapshot(path, bytes, options);
    case HostKind::BasicText:
        return from_basic(path, bytes, options);
    default:
        return from_code(path, bytes, options);
    }
}

std::variant<FilesToAdd, std::string> with_path(const std::string& path, std::variant<FilesToAdd, std::string> made)
{
    if (auto* why = std::get_if<std::string>(&made))
        return path + ": " + *why;
    return made;
}

} // namespace

std::uint64_t longest_code(bool sam)
{
    return sam ? SAM_ADDRESS_END - SAM_FIRST_ADDRESS : ZX_MAX_BYTES;
}

std::optional<AddressRange> code_start_range(bool sam, std::uint64_t length)
{
    const std::uint64_t first = sam ? SAM_FIRST_ADDRESS : 0;
    const std::uint64_t end = sam ? SAM_ADDRESS_END : 0x10000;
    if (length > longest_code(sam))
        return std::nullopt;
    return AddressRange{static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(std::min(end - 1, end - length))};
}

std::variant<FilesToAdd, std::string> files_from_path(const std::string& path, const AddOptions& options)
{
    const HostKind kind = image::host_kind_of_name(path);
    if (auto why = options_refused(path, kind, options))
        return *why;
    if (kind == HostKind::Tape)
        return with_path(path, from_tape(load_tape_file(path), path, options));
    const std::size_t cap = kind == HostKind::Snapshot    ? MAX_SNAPSHOT_FILE_BYTES
                            : kind == HostKind::BasicText ? MAX_BASIC_TEXT
                            : options.sam                 ? SAM_ADDRESS_END - SAM_FIRST_ADDRESS
                                                          : ZX_MAX_BYTES;
    const char* what = kind == HostKind::Snapshot    ? "a snapshot"
                       : kind == HostKind::BasicText ? "BASIC text"
                       : options.sam                 ? "a SAM code file"
                                                     : "a ZX code file";
    auto bytes = read_host(path, cap, what);
    if (auto* why = std::get_if<std::string>(&bytes))
        return path + ": " + *why;
    return with_path(path, from_bytes(path, kind, std::get<std::vector<std::uint8_t>>(bytes), options));
}

std::variant<FilesToAdd, std::string> files_from_bytes(const std::string& path, std::span<const std::uint8_t> bytes,
                                                       const AddOptions& options)
{
    const HostKind kind = image::host_kind_of_name(path);
    if (auto why = options_refused(path, kind, options))
        return *why;
    if (kind == HostKind::Tape)
        return with_path(path, from_tape(load_tape(path, bytes), path, options));
    return with_path(path, from_bytes(path, kind, bytes, options));
}

} // namespace files
