// Fuzz target: the .tap / .tzx reader on arbitrary bytes, and a disc made from what it read. Besides the sanitizers
// it checks the reader's promises (every file's data as long as its header says, of a ZX type, in tape order; no
// more files kept than a disc holds, and no more lines than the first few skipped blocks, the rest counted) and
// the disc's: when it is made, every file is found again in its slot, with its name, along a chain of exactly its
// sector count whose sectors are the ones its sector map marks, holding the nine-byte header and the data.
#include "fuzz_support.h"

#include "common/bytes.h"
#include "files/make_disc.h"
#include "image/disc_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <variant>

namespace {

constexpr std::size_t BITS_PER_BYTE = 8;
constexpr int SIDE1_FIRST_INDEX = (image::TRACKS_PER_SIDE - image::DIRECTORY_TRACKS) * image::SECTORS_PER_TRACK;

// The place of a sector in the +D's order, or -1 for a directory sector or one off the disc.
int data_sector_index(std::uint8_t track_byte, int number)
{
    const int track = track_byte & image::TRACK_MASK;
    if (track >= image::TRACKS_PER_SIDE || number < 1 || number > image::SECTORS_PER_TRACK)
        return -1;
    if (track_byte & image::SIDE_BIT)
        return SIDE1_FIRST_INDEX + track * image::SECTORS_PER_TRACK + number - 1;
    return track < image::DIRECTORY_TRACKS ? -1
                                           : (track - image::DIRECTORY_TRACKS) * image::SECTORS_PER_TRACK + number - 1;
}

// Walks the chain of the entry in `slot` of a made disc and checks it against the file placed there.
void check_placed(const std::vector<std::uint8_t>& disc, const image::DiscFile& file, int slot)
{
    const image::SlotAddress where = image::slot_address(slot);
    const auto dir_offset = static_cast<std::size_t>(
        image::sector_offset(image::Layout::Interleaved, where.track_byte, where.sector_index));
    const auto entry = std::span<const std::uint8_t>(disc).subspan(dir_offset + where.offset, image::entry::SIZE);
    const image::DirectoryEntry e = image::decode_directory_entry(entry);
    fuzz::require(e.status == file.entry[image::entry::STATUS], "the entry keeps its type");
    fuzz::require(std::equal(e.raw_name.begin(), e.raw_name.end(), file.entry.begin() + image::entry::NAME),
                  "the entry keeps its name");

    std::vector<std::uint8_t> body;
    std::array<bool, image::DATA_SECTORS> seen{};
    std::uint8_t track = e.first_track;
    int number = e.first_sector;
    int walked = 0;
    while (track != 0 && walked < image::DATA_SECTORS) {
        fuzz::require(number >= 1 && number <= image::SECTORS_PER_TRACK, "a link names a sector 1-10");
        const auto offset =
            static_cast<std::size_t>(image::sector_offset(image::Layout::Interleaved, track, number - 1));
        const auto sector = std::span<const std::uint8_t>(disc).subspan(offset, image::SECTOR_SIZE);
        body.insert(body.end(), sector.begin(), sector.begin() + image::data_sector::DATA_BYTES);
        const int index = data_sector_index(track, number);
        fuzz::require(index >= 0, "a chain stays on the data sectors");
        const auto bit = static_cast<std::size_t>(index);
        fuzz::require((entry[image::entry::SECTOR_MAP + bit / BITS_PER_BYTE] >> (bit % BITS_PER_BYTE)) & 1,
                      "the map marks every sector");
        fuzz::require(!seen[bit], "a chain never comes back to a sector");
        seen[bit] = true;
        track = sector[image::data_sector::LINK_TRACK];
        number = sector[image::data_sector::LINK_SECTOR];
        ++walked;
    }
    fuzz::require(walked == e.sector_count, "the chain is as long as the sector count");
    const auto map = entry.subspan(image::entry::SECTOR_MAP, image::entry::SECTOR_MAP_LEN);
    int marked = 0;
    for (const std::uint8_t b : map)
        marked += std::popcount(b);
    fuzz::require(marked == walked, "the map marks nothing but the chain");
    fuzz::require(body.size() >= file.body.size() && std::equal(file.body.begin(), file.body.end(), body.begin()),
                  "the chain holds the header and the data");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const tape::TapeContents contents = tape::read_tape(bytes);
    int last_block = -1;
    std::size_t sectors = 0;
    for (const tape::TapeFile& file : contents.files) {
        fuzz::require(file.header[image::tape_header::TYPE] <= image::TAPE_BYTES, "a file is of a ZX type");
        fuzz::require(file.data.size() == common::get_le16(file.header, image::tape_header::LENGTH),
                      "the data is as long as the header says");
        fuzz::require(file.header_block > last_block, "files come in tape order");
        last_block = file.header_block;
        sectors += static_cast<std::size_t>(image::sectors_for(image::FILE_HEADER_SIZE + file.data.size()));
    }
    fuzz::require(contents.files.size() <= image::DIRECTORY_SLOTS && sectors <= image::DATA_SECTORS,
                  "no more files are kept than a disc holds");
    fuzz::require(contents.sectors_beyond >= contents.files_beyond, "a file counted beyond takes a sector");
    fuzz::require(contents.problems.size() <= tape::MAX_LISTED_BLOCKS, "the lines of skipped blocks are bounded");
    std::size_t listed = 0;
    for (std::size_t r = 0; r < tape::SKIP_REASONS; ++r) {
        fuzz::require(contents.listed[r] <= contents.skipped[r], "a listed block is counted");
        listed += contents.listed[r];
    }
    fuzz::require(listed == contents.problems.size(), "every line is of one counted block");

    const std::vector<files::LoadedTape> tapes = {files::load_tape("fuzz.tap", bytes)};
    const files::LoadedTape& loaded = tapes.front();
    fuzz::require(loaded.refusal.empty() || loaded.contents.files.empty(), "a refused tape gives nothing");
    fuzz::require(!loaded.refusal.empty() || loaded.contents.files.size() == contents.files.size(),
                  "a tape is read as read_tape reads it");
    const auto made = files::make_disc(tapes, image::Layout::Interleaved, std::nullopt);
    const auto* disc = std::get_if<files::MadeDisc>(&made);
    const std::size_t all_files = loaded.contents.files.size() + loaded.contents.files_beyond;
    const bool fits = !loaded.contents.files.empty() && all_files <= image::DIRECTORY_SLOTS;
    if (!disc) {
        // The sector total is the one other reason to refuse, and only possible with many files.
        fuzz::require(!fits || all_files > 12, "a disc is made whenever the files fit");
        return 0;
    }
    fuzz::require(fits && loaded.contents.files_beyond == 0, "a disc is refused when the files do not fit");
    fuzz::require(disc->bytes.size() == image::IMAGE_BYTES, "a disc is 819,200 bytes");
    fuzz::require(disc->placed.size() == contents.files.size(), "one line per file placed");
    fuzz::require(disc->skipped_blocks == contents.skipped_blocks(), "every block skipped is counted");
    fuzz::require(disc->problems.size() == contents.problems.size() + contents.unlisted_lines().size(),
                  "a line per listed block and one per reason for the rest");
    for (std::size_t i = 0; i < contents.files.size(); ++i)
        check_placed(disc->bytes, files::disc_file(contents.files[i]), static_cast<int>(i));
    return 0;
}
