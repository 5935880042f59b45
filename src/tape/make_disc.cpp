#include "tape/make_disc.h"

#include "common/bytes.h"
#include "common/path_text.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tape {
namespace {

// Directory type codes of the ZX files a tape can give, by tape type 0-3.
constexpr std::array<std::uint8_t, 4> TYPE_CODE_OF_TAPE_TYPE = {1, 2, 3, 4};
constexpr std::uint8_t SCREEN_TYPE_CODE = 7;
constexpr std::uint16_t SCREEN_START = 16384;
constexpr std::uint16_t SCREEN_LENGTH = 6912;
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

// The place of a sector in the +D's order (image/disc_writer.h); std::nullopt for directory sectors and addresses
// off the disc.
std::optional<std::size_t> data_sector_index(std::uint8_t track_byte, int number)
{
    const int track = track_byte & image::TRACK_MASK;
    const bool side1 = (track_byte & image::SIDE_BIT) != 0;
    if (track >= image::TRACKS_PER_SIDE || number < 1 || number > image::SECTORS_PER_TRACK ||
        (!side1 && track < image::DIRECTORY_TRACKS))
        return std::nullopt;
    const int tracks_before =
        side1 ? image::TRACKS_PER_SIDE - image::DIRECTORY_TRACKS + track : track - image::DIRECTORY_TRACKS;
    return static_cast<std::size_t>(tracks_before * image::SECTORS_PER_TRACK + number - 1);
}

bool same_name(const image::EntryBytes& a, const image::EntryBytes& b)
{
    return std::equal(a.begin() + image::entry::NAME, a.begin() + image::entry::NAME + image::entry::NAME_LEN,
                      b.begin() + image::entry::NAME);
}

std::string placed_line(const image::EntryBytes& entry, const image::PlacedFile& at, const std::string& origin)
{
    const image::DirectoryEntry decoded = image::decode_directory_entry(entry);
    TapeHeader shown{};
    std::copy(decoded.raw_name.begin(), decoded.raw_name.end(), shown.begin() + header::NAME);
    const image::CatalogueRow row = image::catalogue_row(decoded, at.slot);
    return "slot " + std::to_string(at.slot) + ": \"" + shown_name(shown) + "\" " + row.type_text + ", " +
           std::to_string(row.length) + " bytes, " + std::to_string(at.sectors) +
           (at.sectors == 1 ? " sector" : " sectors") + " from track " + std::to_string(at.first_track) + " sector " +
           std::to_string(at.first_sector) + " (" + origin + ")";
}

} // namespace

image::DiscFile disc_file(const TapeFile& file)
{
    namespace e = image::entry;
    const TapeHeader& h = file.header;
    const std::uint8_t tape_type = h[header::TYPE];
    assert(tape_type <= TAPE_BYTES);
    const std::uint16_t length = common::get_le16(h, header::LENGTH);
    const std::uint16_t param1 = common::get_le16(h, header::PARAM1);
    const std::uint16_t param2 = common::get_le16(h, header::PARAM2);

    image::DiscFile out;
    image::EntryBytes& entry = out.entry;
    const bool is_screen = tape_type == TAPE_BYTES && length == SCREEN_LENGTH && param1 == SCREEN_START;
    entry[e::STATUS] = is_screen ? SCREEN_TYPE_CODE : TYPE_CODE_OF_TAPE_TYPE[tape_type];
    std::copy_n(h.begin() + header::NAME, header::NAME_LEN, entry.begin() + e::NAME);
    entry[e::TAPE_TYPE] = tape_type;
    common::put_le16(entry, e::ZX_LENGTH, length);
    if (tape_type == TAPE_PROGRAM) {
        common::put_le16(entry, e::ZX_START, BASIC_START);
        common::put_le16(entry, e::ZX_PROGRAM_LENGTH, param2);
        common::put_le16(entry, e::ZX_AUTOSTART, param1);
    } else if (tape_type == TAPE_BYTES) {
        common::put_le16(entry, e::ZX_START, param1);
        common::put_le16(entry, e::ZX_PROGRAM_LENGTH, UNUSED_WORD);
        common::put_le16(entry, e::ZX_AUTOSTART, NO_EXECUTE_ADDRESS);
    } else {
        common::put_le16(entry, e::ZX_START, param1);
        common::put_le16(entry, e::ZX_PROGRAM_LENGTH,
                         static_cast<std::uint16_t>(ARRAY_NAME_FILL | (param1 >> NAME_SHIFT)));
        common::put_le16(entry, e::ZX_AUTOSTART, UNUSED_WORD);
    }
    out.body.reserve(image::FILE_HEADER_SIZE + file.data.size());
    out.body.assign(entry.begin() + e::FILE_HEADER, entry.begin() + e::FILE_HEADER + image::FILE_HEADER_SIZE);
    out.body.insert(out.body.end(), file.data.begin(), file.data.end());
    return out;
}

std::variant<TapeInput, std::string> read_tape_file(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return std::string("is a folder, not a tape");
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return error.message();
    if (size > MAX_TAPE_BYTES)
        return "size is " + std::to_string(size) + " bytes, more than a tape file holds (" +
               std::to_string(MAX_TAPE_BYTES) + ")";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!in)
        return std::string(std::strerror(errno));
    TapeInput tape{path, std::vector<std::uint8_t>(static_cast<std::size_t>(size))};
    // One byte more than the size asks for tells a file that grew since it was measured.
    std::uint8_t extra = 0;
    if (std::fread(tape.bytes.data(), 1, tape.bytes.size(), in.get()) != tape.bytes.size() ||
        std::fread(&extra, 1, 1, in.get()) != 0)
        return std::string("cannot read the file whole");
    return tape;
}

std::variant<SystemFile, std::string> read_system_file(const std::string& image_path, std::optional<int> slot)
{
    const image::Layout layout = image::layout_from_path(image_path);
    if (layout == image::Layout::None)
        return std::string("not a disc image (the name must end in .mgt, .dsk or .img)");
    image::ImageFile file(image_path, layout);
    if (!file.is_open())
        return image::open_error_text(file.open_error());
    image::EntryBytes entry{};
    int found = -1;
    if (slot) {
        entry = image::read_entry_bytes(file, *slot);
        if (!image::decode_directory_entry(entry).is_used())
            return "no file in slot " + std::to_string(*slot);
        found = *slot;
    }
    for (int s = 0; s < image::DIRECTORY_SLOTS && found < 0; ++s) {
        entry = image::read_entry_bytes(file, s);
        const image::DirectoryEntry e = image::decode_directory_entry(entry);
        if (e.is_used() && is_system_name(e))
            found = s;
    }
    if (found < 0)
        return std::string("no file whose name starts with +SYS");

    const image::DirectoryEntry e = image::decode_directory_entry(entry);
    const std::string where = "slot " + std::to_string(found);
    if (e.sector_count == 0 || e.sector_count > image::DATA_SECTORS)
        return where + ": a sector count of " + std::to_string(e.sector_count) + " is no file's";
    SystemFile system{{entry, {}}, image_path + " " + where};
    std::vector<bool> seen(image::DATA_SECTORS, false);
    std::array<std::uint8_t, image::SECTOR_SIZE> sector{};
    std::uint8_t track = e.first_track;
    int number = e.first_sector;
    for (int n = 0; n < e.sector_count; ++n) {
        const auto index = data_sector_index(track, number);
        if (!index || seen[*index])
            return where + ": the chain " + (index ? "comes back to a sector" : "leaves the data sectors") + " after " +
                   std::to_string(n) + " of its " + std::to_string(e.sector_count) + " sectors";
        seen[*index] = true;
        file.read_sector(track, number - 1, sector);
        system.file.body.insert(system.file.body.end(), sector.begin(),
                                sector.begin() + image::data_sector::DATA_BYTES);
        track = sector[image::data_sector::LINK_TRACK];
        number = sector[image::data_sector::LINK_SECTOR];
    }
    return system;
}

std::variant<MadeDisc, std::string> make_disc(std::span<const TapeInput> tapes, image::Layout layout,
                                              const std::optional<SystemFile>& system)
{
    MadeDisc made;
    std::vector<image::DiscFile> files;
    std::vector<std::string> origins;
    if (system) {
        files.push_back(system->file);
        origins.push_back("system file from " + system->origin);
    }
    for (const TapeInput& tape : tapes) {
        TapeContents contents = read_tape(tape.bytes);
        for (const std::string& problem : contents.problems)
            made.problems.push_back(tape.name + ": " + problem);
        for (const TapeFile& file : contents.files) {
            files.push_back(disc_file(file));
            origins.push_back(tape.name + " block #" + std::to_string(file.header_block));
        }
    }
    if (files.empty())
        return std::string("no file to place: the tapes hold no file a standard loader reads");

    auto written = image::write_disc(files, layout);
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
    std::vector<TapeInput> tapes;
    for (const std::string& path : tape_paths) {
        auto tape = read_tape_file(path);
        if (auto* error = std::get_if<std::string>(&tape))
            return path + ": " + *error;
        tapes.push_back(std::move(std::get<TapeInput>(tape)));
    }
    return make_disc(tapes, layout, system);
}

} // namespace tape
