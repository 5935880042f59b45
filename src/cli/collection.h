// The images a command of kestrel-cli is given: named one by one, or found by walking folders (-r) and the zip
// archives in them. Each image is read once, on one of two threads when there are several, and the commands'
// reports come out in the order the images were named, folders in the byte order of their entries, each as soon
// as it and those before it are done: the text and the --json document are written as the walk goes, so that
// memory does not grow with the number of images.
#pragma once

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/json.h"
#include "cli/json_stream.h"
#include "image/sector_source.h"

#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace cli {

// One image, as a command is to report on it.
struct ImageAt
{
    std::string shown; // as given, or FOLDER/NAME, FOLDER/ARCHIVE.zip/NAME for one found by the walk
    std::string label; // `shown` as text output shows it (common::shown_path: control bytes escaped)
    std::string path;  // the file it was read from (the archive, for an image in one)
    std::variant<image::OpenImage, common::Error> opened;
};

// What a command made of one image.
struct ImageReport
{
    std::string out; // for stdout
    std::string err; // for stderr
    int code = EXIT_OK;
    std::size_t items = 0; // how many items the image gives (counted without --json too)
    // With --json: the items for the JSON document and, when the image could not be read, {"image", "reason"},
    // as the document's arrays hold them: elements (element_text()) joined by ",\n".
    std::string item_text;
    std::string unreadable_text;

    void add_item(const Json& item)
    {
        append_element(item_text, element_text(item));
        ++items;
    }
    // An item `write` writes with a JsonWriter: written straight, without a Json value.
    template <class Write> void write_item(Write write)
    {
        JsonWriter writer = element_writer(item_text);
        write(writer);
        ++items;
    }
};

// The report of an image that cannot be read: "kestrel-cli: IMAGE: reason" on stderr, EXIT_USAGE, and the same in
// the document's "unreadable".
ImageReport unreadable_report(const std::string& shown, const std::string& reason);

// A command over the images it is given or finds in folders, as list and check are: the declaration with the
// synopsis and the options they share, IMAGE... [-r] [--json].
Command image_walk_command(Command command);

struct WalkOptions
{
    bool recursive = false; // folders are walked; without it a folder is opened as an image (and refused)
    bool archives = false;  // an archive of several images gives each of them, as ARCHIVE.zip/NAME
    // The command reads the directories only: an image in an archive is unpacked only as far as its directory.
    bool directory_only = false;
    // With --json: the key of the document's array of items ("images", "hits"); nullptr for text.
    const char* json_key = nullptr;
};

struct CollectionResult
{
    int code = EXIT_OK;    // the worst code of the reports
    std::size_t items = 0; // how many items the reports gave
};

// Calls `report` for every image `paths` name and writes each report's text to out and err in order, or with
// options.json_key the document {KEY: [items...], "unreadable": [...]} to out. Images found in a walk or in an
// archive rather than named are skipped as unreadable when they are raw images of another size than a disc's.
// In a walk, files whose names name no image kind are passed over, symlinks are followed but a folder is never
// entered twice (no loop), what is no regular file (a FIFO, a device) is reported without being opened, and so is
// what lies deeper than a path can name. `report` runs on worker threads: it may only touch the image it is given.
CollectionResult for_each_image(const std::vector<std::string>& paths, const WalkOptions& options,
                                const std::function<ImageReport(ImageAt&)>& report, std::ostream& out,
                                std::ostream& err);

} // namespace cli
