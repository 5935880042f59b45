#include "session/listed_disc.h"

#include "common/number_text.h"

#include "common/file_read.h"
#include "common/path_text.h"
#include "common/same_file.h"
#include "image/image_kinds.h"
#include "image/layout_sniff.h"
#include "inspect/directory_check.h"

#include <array>
#include <cerrno>

#include <sys/stat.h>

namespace session {
namespace {

// The DOS that wrote the disc and its name (MasterDOS, BDOS), and a layout taken from the content rather than the
// name; nothing for a plain +D or SAMDOS disc read by its name.
Text dos_text(const image::DirectorySize& size, const image::OpenImage& image)
{
    Text text;
    if (size.dos != image::DosKind::Standard) {
        text.path(std::string(image::dos_name(size.dos)) + " disc");
        if (!size.label.empty())
            text.path(" \"").disc(size.label).path("\"");
        if (size.tracks != image::DIRECTORY_TRACKS)
            text.path(", " + std::to_string(size.tracks) + " directory tracks");
    }
    if (image.layout_by_content) {
        if (!text.empty())
            text.path("; ");
        text.path(image::layout_note(image.layout));
    }
    return text;
}

void append(std::vector<Text>& lines, std::vector<Text> more)
{
    lines.insert(lines.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

} // namespace

ListedDisc keep_listed(std::string path, std::string file, image::OpenImage image)
{
    ListedDisc listed;
    // A raw image keeps what it has read and never reads a place twice: read whole now, it holds this disc.
    std::array<std::uint8_t, image::SECTOR_SIZE> scratch{};
    for (int track = 0; track < image::TRACKS_PER_SIDE * image::SIDES; ++track) {
        const auto track_byte =
            static_cast<std::uint8_t>((track / image::SIDES) | (track % image::SIDES != 0 ? image::SIDE_BIT : 0));
        for (int sector = 0; sector < image::SECTORS_PER_TRACK; ++sector)
            image.source->view_sector(track_byte, sector, scratch);
    }
    listed.catalogue = image::read_directory(*image.source);
    if (image.scannable)
        listed.scan = inspect::scan_image(*image.source, path);
    const image::ImageKind* kind = image::kind_of_name(path);
    listed.in_place = path == file && kind != nullptr && kind->form == image::ImageForm::Raw &&
                      image.raw_size == image::IMAGE_BYTES &&
                      dynamic_cast<image::RawImage*>(image.source.get()) != nullptr;
    listed.path = std::move(path);
    listed.file = std::move(file);
    listed.image = std::move(image);
    return listed;
}

Listing list_opened(const std::string& path, std::variant<image::OpenImage, common::Error> opened)
{
    Listing listing;
    const std::string shown = common::file_part(path);
    if (const auto* failure = std::get_if<common::Error>(&opened)) {
        // An image of the right size that cannot be opened shows the scan's first line, and the status says why
        // (a 9-sector DSK, a damaged archive, no permission).
        if (failure->kind == common::ErrorKind::Unopened && image::regular_file_size(path) == image::IMAGE_BYTES)
            listing.pane.emplace_back(inspect::scan_first_line(path));
        listing.failure = failure->text;
        listing.status = Text(shown + ": " + failure->text);
        return listing;
    }
    listing.listed = keep_listed(path, common::file_read_from(path), std::get<image::OpenImage>(std::move(opened)));
    const ListedDisc& listed = listing.listed;
    append(listing.pane, shown_lines(listed.image.notes));
    append(listing.pane, shown_lines(listed.image.findings));
    if (!listed.image.scannable) {
        listing.status = Text(
            shown + " listed but not checked: " + common::grouped(static_cast<std::uint64_t>(listed.image.raw_size)) +
            " bytes, not the " + common::grouped(image::IMAGE_BYTES) + " of a disc image");
        return listing;
    }
    append(listing.pane, scan_pane_lines(listed.scan));
    if (const auto reason = inspect::foreign_directory_reason(listed.catalogue))
        listing.status = Text(shown + " does not look like a +D/SAM directory: " + *reason);
    else if (Text dos = dos_text(image::read_directory_size(*listed.image.source), listed.image); !dos.empty())
        listing.dos = Text(shown + ": ").append(dos);
    return listing;
}

ListedFile check_listed_file(const ListedDisc& listed)
{
    struct stat info
    {};
    if (::stat(listed.file.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? ListedFile::Gone : ListedFile::Changed;
    if (!listed.in_place)
        return ListedFile::Same;
    const auto disc = listed_disc_value(listed);
    const auto now =
        common::read_whole_file(listed.file, static_cast<std::size_t>(image::IMAGE_BYTES) + 1, "a disc image");
    const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&now);
    const auto* value = std::get_if<files::DiscValue>(&disc);
    return bytes != nullptr && value != nullptr && *bytes == value->bytes ? ListedFile::Same : ListedFile::Changed;
}

std::variant<files::DiscValue, std::string> listed_disc_value(const ListedDisc& listed)
{
    return files::read_disc_value(*listed.image.source,
                                  listed.in_place ? listed.image.layout : image::Layout::Interleaved);
}

std::vector<Text> scan_pane_lines(const inspect::ScanResult& scan)
{
    std::vector<Text> lines;
    for (std::size_t i = 0; i < scan.lines.size(); ++i) {
        const bool finding = i >= 1 && i <= scan.findings.size();
        lines.emplace_back(finding ? Encoding::Shown : Encoding::Path, scan.lines[i]);
    }
    return lines;
}

std::vector<Text> shown_lines(const std::vector<std::string>& lines)
{
    std::vector<Text> shown;
    for (const std::string& line : lines)
        shown.emplace_back(Encoding::Shown, line);
    return shown;
}

} // namespace session
