#include "files/make_disc.h"

#include "common/bytes.h"
#include "common/file_read.h"
#include "common/path_text.h"
#include "image/chain.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace files {
namespace {

constexpr std::uint16_t SCREEN_START = 16384;
// The +D keeps a BASIC program's address (PROG of a 48K Spectrum) as its start, and 0xFFFF / 0 in the two fields
// code has no use for; seen so on solo-forth-boot.mgt and the mgtdisklib images.
constexpr std::uint16_t BASIC_START = 0x5CCB;
constexpr std::uint16_t UNUSED_WORD = 0xFFFF;
constexpr std::uint16_t NO_EXECUTE_ADDRESS = 0;
// An array's variable name is the high byte of the tape's first parameter; the +D keeps it in the low byte of
// the program-length field, above it 0xFF.
constexpr int NAME_SHIFT = 8;
constexpr std::uint16_t ARRAY_NAME_FILL = 0xFF00;

constexpr std::string_view SYSTEM_PREFIX = "+sys"; // compared in lower case

bool is_system_name(const image::DirectoryEntry& e)
{
    const std::string name(e.raw_name.begin(), e.raw_name.begin() + SYSTEM_PREFIX.size());
    return common::ascii_lower(name) == SYSTEM_PREFIX;
}

bool same_name(const image::EntryBytes& a, const image::EntryBytes& b)
{
    return std::equal(a.begin() + image::entry::NAME, a.begin() + image::entry::NAME + image::entry::NAME_LEN,
                      b.begin() + image::entry::NAME);
}

std::string placed_line(const image::EntryBytes& entry, const image::PlacedFile& at, const std::string& origin)
{
    const image::DirectoryEntry decoded = image::decode_directory_entry(entry);
    image::TapeHeader shown{};
    std::copy(decoded.raw_name.begin(), decoded.raw_name.end(), shown.begin() + image::tape_header::NAME.at);
    const image::CatalogueRow row = image::catalogue_row(decoded, at.slot);
    return "slot " + std::to_string(at.slot) + ": \"" + tape::shown_name(shown) + "\" " + row.type_text + ", " +
           std::to_string(row.length) + " bytes, " + std::to_string(at.sectors) +
           (at.sectors == 1 ? " sector" : " sectors") + " from track " + std::to_string(at.first_track) + " sector " +
           std::to_string(at.first_sector) + " (" + origin + ")";
}

// Why nothing could be placed: what every tape was refused for, or what the tapes gave instead of files.
std::string no_file_to_place(std::span<const LoadedTape> tapes,
                             const std::array<std::size_t, tape::SKIP_REASONS>& skipped, std::size_t refused)
{
    if (!tapes.empty() && refused == tapes.size()) {
        std::string why;
        for (const LoadedTape& tape : tapes)
            why.append(why.empty() ? "" : "; ").append(tape.name).append(": ").append(tape.refusal);
        return why;
    }
    std::string gave = tape::skipped_summary(skipped);
    if (refused > 0)
        gave.append(gave.empty() ? "" : "; ")
            .append(tape::counted(refused))
            .append(refused == 1 ? " tape" : " tapes")
            .append(" not read");
    std::string why = "no file to place: the tapes hold no file a standard loader reads";
    if (!gave.empty())
        why.append(" (").append(gave).append(")");
    return why;
}

} // namespace

image::DiscFile disc_file(const tape::TapeFile& file)
{
    namespace e = image::entry;
    const image::TapeHeader& h = file.header;
    const std::uint8_t tape_type = h[image::tape_header::TYPE];
    assert(tape_type <= image::TAPE_BYTES);
    const std::uint16_t length = common::get_le16(h, image::tape_header::LENGTH);
    const std::uint16_t param1 = common::get_le16(h, image::tape_header::PARAM1);
    const std::uint16_t param2 = common::get_le16(h, image::tape_header::PARAM2);

    image::DiscFile out;
    image::EntryBytes& entry = out.entry;
    const bool is_screen = tape_type == image::TAPE_BYTES && length == image::SCREEN_LENGTH && param1 == SCREEN_START;
    image::DirectoryEntry fields;
    fields.status = static_cast<std::uint8_t>(is_screen ? image::TYPE_ZX_SCREEN : image::type_code_of_tape(tape_type));
    std::copy_n(h.begin() + image::tape_header::NAME.at, image::tape_header::NAME.length, fields.raw_name.begin());
    fields.zx_length = length;
    fields.zx_start = tape_type == image::TAPE_PROGRAM ? BASIC_START : param1;
    image::encode_directory_entry(fields, entry);
    entry[e::TAPE_TYPE] = tape_type;
    if (tape_type == image::TAPE_PROGRAM) {
        common::put_le16(entry, e::ZX_PROGRAM_LENGTH, param2);
        common::put_le16(entry, e::ZX_AUTOSTART, param1);
    } else if (tape_type == image::TAPE_BYTES) {
        common::put_le16(entry, e::ZX_PROGRAM_LENGTH, UNUSED_WORD);
        common::put_le16(entry, e::ZX_AUTOSTART, NO_EXECUTE_ADDRESS);
    } else {
        common::put_le16(entry, e::ZX_PROGRAM_LENGTH,
                         static_cast<std::uint16_t>(ARRAY_NAME_FILL | (param1 >> NAME_SHIFT)));
        common::put_le16(entry, e::ZX_AUTOSTART, UNUSED_WORD);
    }
    out.body.reserve(image::FILE_HEADER_SIZE + file.data.size());
    out.body.assign(entry.begin() + e::FILE_HEADER, entry.begin() + e::FILE_HEADER + image::FILE_HEADER_SIZE);
    out.body.insert(out.body.end(), file.data.begin(), file.data.end());
    return out;
}

LoadedTape load_tape(std::string name, std::span<const std::uint8_t> bytes)
{
    LoadedTape tape{std::move(name), {}, {}};
    if (auto why = tape::not_a_tape(bytes))
        tape.refusal = std::move(*why);
    else
        tape.contents = tape::read_tape(bytes);
    return tape;
}

LoadedTape load_tape_file(const std::string& path)
{
    auto bytes = common::read_whole_file(path, MAX_TAPE_BYTES, "a tape file");
    if (auto* failure = std::get_if<common::Error>(&bytes))
        return {path, {}, std::move(failure->text)};
    return load_tape(path, std::get<std::vector<std::uint8_t>>(bytes));
}

std::vector<std::string> tape_lines(std::span<const LoadedTape> tapes)
{
    std::vector<std::string> lines;
    for (const LoadedTape& tape : tapes) {
        if (!tape.refusal.empty())
            lines.push_back(tape.name + ": " + tape.refusal);
        for (const std::string& problem : tape.contents.problems)
            lines.push_back(tape.name + ": " + problem);
        for (const std::string& more : tape.contents.unlisted_lines())
            lines.push_back(tape.name + ": " + more);
    }
    return lines;
}

std::variant<SystemFile, std::string> read_system_file(image::SectorSource& disc, std::optional<int> slot,
                                                       const std::string& shown_name)
{
    image::EntryBytes entry{};
    int found = -1;
    if (slot) {
        entry = image::read_entry_bytes(disc, *slot);
        const int slots = image::decode_directory_size(image::read_entry_bytes(disc, 0)).slot_count();
        if (*slot >= slots || !image::decode_directory_entry(entry).is_used())
            return "no file in slot " + std::to_string(*slot);
        found = *slot;
    }
    for (int s = 0; s < image::DIRECTORY_SLOTS && found < 0; ++s) {
        entry = image::read_entry_bytes(disc, s);
        const image::DirectoryEntry e = image::decode_directory_entry(entry);
        if (e.is_used() && is_system_name(e))
            found = s;
    }
    if (found < 0)
        return std::string("no file whose name starts with +SYS");

    const image::DirectoryEntry e = image::decode_directory_entry(entry);
    const std::string where = "slot " + std::to_string(found);
    const int count = e.sector_count;
    if (count == 0 || count > image::DATA_SECTORS)
        return where + ": a sector count of " + std::to_string(count) + " is no file's";
    SystemFile system{{entry, {}}, shown_name + " " + where};
    std::vector<bool> seen(image::DATA_SECTORS, false);
    image::ChainLink at{e.first_track, e.first_sector};
    std::string broken;
    const int walked = image::walk_chain(disc, at, {count}, [&](image::SectorView sector, int n) {
        const auto index = image::data_sector_index(at.track_byte, at.sector_number);
        if (!index || seen[static_cast<std::size_t>(*index)]) {
            broken = std::string(index ? "comes back to a sector" : "leaves the data sectors") + " after " +
                     std::to_string(n) + " of its " + std::to_string(count) + " sectors";
            return false;
        }
        seen[static_cast<std::size_t>(*index)] = true;
        system.file.body.insert(system.file.body.end(), sector.begin(),
                                sector.begin() + image::data_sector::DATA_BYTES);
        at = image::link_of(sector);
        return true;
    });
    if (broken.empty() && walked < count)
        broken = "ends after " + std::to_string(walked) + " of its " + std::to_string(count) + " sectors";
    if (!broken.empty())
        return where + ": the chain " + broken;
    return system;
}

std::variant<MadeDisc, std::string> make_disc(std::span<const LoadedTape> tapes, image::Layout layout,
                                              const std::optional<SystemFile>& system)
{
    MadeDisc made;
    std::vector<image::DiscFile> files;
    std::vector<std::string> origins;
    if (system) {
        files.push_back(system->file);
        origins.push_back("system file from " + system->origin);
    }
    std::array<std::size_t, tape::SKIP_REASONS> skipped{};
    std::size_t files_beyond = 0;
    std::size_t sectors_beyond = 0;
    for (const LoadedTape& tape : tapes) {
        if (!tape.refusal.empty())
            ++made.refused_tapes;
        for (std::size_t r = 0; r < tape::SKIP_REASONS; ++r)
            skipped[r] += tape.contents.skipped[r];
        // Files after the 80th are only counted, however many tapes hold them.
        for (const tape::TapeFile& file : tape.contents.files) {
            if (files.size() == static_cast<std::size_t>(image::DIRECTORY_SLOTS)) {
                ++files_beyond;
                sectors_beyond += image::sectors_for(image::FILE_HEADER_SIZE + file.data.size());
                continue;
            }
            files.push_back(disc_file(file));
            origins.push_back(tape.name + " block #" + std::to_string(file.header_block));
        }
        files_beyond += tape.contents.files_beyond;
        sectors_beyond += tape.contents.sectors_beyond;
    }
    made.problems = tape_lines(tapes);
    for (const std::size_t n : skipped)
        made.skipped_blocks += n;
    if (files.empty())
        return no_file_to_place(tapes, skipped, made.refused_tapes);
    if (files_beyond > 0) {
        std::size_t sectors = sectors_beyond;
        for (const image::DiscFile& file : files)
            sectors += image::sectors_for(file.body.size());
        if (auto refusal = image::beyond_one_disc(files.size() + files_beyond, sectors))
            return std::move(*refusal);
    }

    auto written = image::build_disc(files, layout);
    if (auto* error = std::get_if<std::string>(&written))
        return std::move(*error);
    auto& disc = std::get<image::WrittenDisc>(written);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string line = placed_line(files[i].entry, disc.placed[i], origins[i]);
        const auto earlier = std::find_if(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(i),
                                          [&](const image::DiscFile& f) { return same_name(f.entry, files[i].entry); });
        if (earlier != files.begin() + static_cast<std::ptrdiff_t>(i))
            line += "; same name as slot " + std::to_string(earlier - files.begin());
        made.placed.push_back(std::move(line));
    }
    made.bytes = std::move(disc.bytes);
    return made;
}

std::variant<MadeDisc, std::string> make_disc_from_paths(std::span<const std::string> tape_paths, image::Layout layout,
                                                         const std::optional<SystemFile>& system)
{
    std::vector<LoadedTape> tapes;
    for (const std::string& path : tape_paths)
        tapes.push_back(load_tape_file(path));
    return make_disc(tapes, layout, system);
}

} // namespace files
