#include "cli/cli.h"
#include "cli/commands.h"
#include "snapshot/plusd_snapshot.h"

#include <QFile>
#include <QSaveFile>

#include <filesystem>
#include <optional>
#include <variant>

namespace cli {
namespace {

struct SnapArgs
{
    std::string image;
    int slot = -1;
    std::string output;
    snapshot::FileFormat format = snapshot::FileFormat::Z80;
    bool force = false;
};

// Parses the arguments after "snap"; on failure reports the usage error and returns std::nullopt.
std::optional<SnapArgs> parse_snap_args(const std::vector<std::string>& args, std::ostream& err)
{
    ArgWalker walk("snap", args, err);
    std::optional<std::string> image;
    std::optional<std::string> output;
    std::optional<int> slot;
    bool force = false;
    while (walk.next()) {
        if (walk.is("--slot")) {
            if (!walk.once(slot.has_value(), "--slot N") || !(slot = walk.slot()))
                return std::nullopt;
        } else if (walk.is("-o") || walk.is("--output")) {
            if (!walk.once(output.has_value(), "-o OUT") || !(output = walk.value()))
                return std::nullopt;
        } else if (walk.is("--force")) {
            force = true;
        } else if (!walk.image(image)) {
            return std::nullopt;
        }
    }
    if (!image || !slot || !output) {
        walk.missing("IMAGE, --slot N and -o OUT.z80 or OUT.sna");
        return std::nullopt;
    }
    const auto format = snapshot::format_from_path(*output);
    if (!format) {
        usage_error(err, "snap writes .z80 or .sna files, not '" + *output + "'");
        return std::nullopt;
    }
    return SnapArgs{*image, *slot, *output, *format, force};
}

// The file's bytes along its chain from the entry, as the disc links them, whatever the entry's sector count
// says (counts are often wrong on real discs). The walk stops at the chain's end or one sector past what a
// snapshot fills, so a longer chain shows as such without being read further.
std::vector<std::uint8_t> read_chain(const std::string& path, image::Layout layout, int slot, image::EntryBytes& entry)
{
    image::ImageFile file(path, layout);
    entry = image::read_entry_bytes(file, slot);
    const image::DirectoryEntry decoded = image::decode_directory_entry(entry);
    const std::size_t most = snapshot::plusd_sectors_for(snapshot::plusd_file_bytes(decoded.type_code())) + 1;
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, image::SECTOR_SIZE> sector{};
    std::uint8_t track = decoded.first_track;
    int index = decoded.first_sector - 1;
    for (std::size_t n = 0; n < most && track != 0 && index >= 0; ++n) {
        file.read_sector(track, index, sector);
        bytes.insert(bytes.end(), sector.begin(), sector.begin() + image::data_sector::DATA_BYTES);
        track = sector[image::data_sector::LINK_TRACK];
        index = sector[image::data_sector::LINK_SECTOR] - 1;
    }
    return bytes;
}

// The file goes to a temporary file beside `path` that only replaces it once complete.
bool write_snapshot(const std::vector<std::uint8_t>& bytes, const std::string& path, std::ostream& err)
{
    QSaveFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::WriteOnly)) {
        report(err, path, file.errorString().toStdString());
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size || !file.commit()) {
        report(err, path, "cannot write the snapshot: " + file.errorString().toStdString());
        return false;
    }
    return true;
}

} // namespace

int run_snap(const std::vector<std::string>& args, std::ostream&, std::ostream& err)
{
    const auto parsed = parse_snap_args(args, err);
    if (!parsed)
        return EXIT_USAGE;
    const auto loaded = load_image(parsed->image, err);
    if (!loaded)
        return EXIT_USAGE;
    const std::string slot_text = "slot " + std::to_string(parsed->slot);
    if (!slot_listed(loaded->catalogue, parsed->slot)) {
        report(err, parsed->image, "no file in " + slot_text);
        return EXIT_USAGE;
    }
    std::error_code ignored;
    if (!parsed->force && std::filesystem::exists(parsed->output, ignored)) {
        report(err, parsed->output, "exists (use --force to replace it)");
        return EXIT_USAGE;
    }

    image::EntryBytes entry{};
    const std::vector<std::uint8_t> file = read_chain(loaded->path, loaded->layout, parsed->slot, entry);
    const auto decoded = snapshot::decode_plusd_snapshot(entry, file);
    if (const auto* error = std::get_if<snapshot::DecodeError>(&decoded)) {
        report(err, parsed->image, slot_text + ": " + error->reason);
        return EXIT_PROBLEM;
    }
    const auto bytes = snapshot::encode_file(std::get<snapshot::Snapshot>(decoded), parsed->format);
    return write_snapshot(bytes, parsed->output, err) ? EXIT_OK : EXIT_PROBLEM;
}

} // namespace cli
