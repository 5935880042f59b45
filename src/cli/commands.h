// The commands of kestrel-cli, each declared in its own file (command.h says how), and the helpers they share.
#pragma once

#include "cli/command.h"
#include "cli/output.h"
#include "image/directory.h"
#include "image/extract.h"
#include "image/image_kinds.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

extern const Command LIST_COMMAND;
extern const Command CHECK_COMMAND;
extern const Command FIND_COMMAND;
extern const Command TAP_COMMAND;
extern const Command SCREEN_COMMAND;
extern const Command THUMBNAIL_COMMAND;
extern const Command IMAGE_COMMAND;
extern const Command BASIC_COMMAND;
extern const Command MAKE_COMMAND;
extern const Command SNAP_COMMAND;
extern const Command DISC_READ_COMMAND;
extern const Command DISC_WRITE_COMMAND;
extern const Command EXPORT_COMMAND;
extern const Command ADD_COMMAND;
extern const Command RM_COMMAND;
extern const Command RENAME_COMMAND;
extern const Command ATTR_COMMAND;

// Writes "kestrel-cli: " + subject + ": " + reason and a line end to err.
void report(std::ostream& err, const std::string& subject, const std::string& reason);

// A line number given with --line: decimal, 0-65279 (each dialect checks its own range); check_line is the check
// of the options that take one.
std::optional<std::uint16_t> parse_line_number(const std::string& text);
std::string check_line(const std::string& text);

// Writes a usage error (the reason, then where the help is) and returns EXIT_USAGE.
int usage_error(std::ostream& err, const std::string& reason);

// An open image with its catalogue.
struct LoadedImage
{
    std::string path;
    image::OpenImage image;
    image::Catalogue catalogue;

    image::SectorSource& disc() { return *image.source; }
};

// Reports what a container's reader decided on its own (image.notes) and the damage it met (image.findings), one
// line each, on err.
void report_findings(std::ostream& err, const std::string& path, const image::OpenImage& image);

// Opens the image; on failure reports on err and returns std::nullopt.
std::optional<image::OpenImage> open_reported(const std::string& path, std::ostream& err);

// Opens the image and reads its catalogue; on failure reports on err and returns std::nullopt. Damage met while
// opening a container is reported on err too.
std::optional<LoadedImage> load_image(const std::string& path, std::ostream& err);

// Parses a decimal slot number 0-777 (a MasterDOS disc can have 39 directory tracks; whether the image has the
// slot is require_listed's question); std::nullopt for anything else.
std::optional<int> parse_slot(const std::string& text);

// Whether the image lists a file in `slot`; if not, reports "no file in slot N" on err.
bool require_listed(const LoadedImage& loaded, int slot, std::ostream& err);

// What a command that acts on one file of an image took: IMAGE --slot N, and -o OUT and --force where it has them.
struct SlotArgs
{
    std::string image;
    int slot = -1;
    std::string output;
    bool force = false;
};

// The IMAGE, --slot N and -o OUT of such a command; the usage error on err when one is missing.
std::optional<SlotArgs> slot_args(const Command& command, const Args& args, std::ostream& err);

// Opens the image of `args` and checks that its slot lists a file; on failure reports on err and returns
// std::nullopt (the command exits with EXIT_USAGE).
std::optional<LoadedImage> load_slot(const SlotArgs& args, std::ostream& err);

// The image and the output of a command that writes something of one file of an image.
struct SlotOutput
{
    SlotArgs args;
    LoadedImage loaded;
    Output output;
};

// A command on the file in one slot of an image (slot_args takes its arguments): the declaration with --slot N before
// its own options and one IMAGE.
Command slot_command(Command command);

// What a command that writes something of the file in one slot to a new file declares of its own; the rest, IMAGE
// --slot N -o OUT [--force] with their options and one IMAGE, is that of all of them.
struct SlotOutputCommand
{
    const char* name = "";
    const char* summary = "";
    Option output; // output_option(OUT, help), OUT as the help names it: "OUT.png", "OUT.z80 or OUT.sna"
    const char* example = "";
    Run run = nullptr;
};
Command slot_output_command(const SlotOutputCommand& declared);

// Takes the command's IMAGE, --slot N and -o OUT, opens the image (checking that its slot lists a file), then the
// output (`what` names it in messages); on failure reports on err and returns std::nullopt (the command exits with
// EXIT_USAGE).
std::optional<SlotOutput> open_slot_output(const Command& command, const Args& args, const char* what,
                                           std::ostream& err);

// Writes "kestrel-cli: IMAGE: slot N: " + reason and a line end to err.
void report_slot(std::ostream& err, const SlotArgs& args, const std::string& reason);

// Warns on err when the file's chain left bytes of it zero ("... slot 0: the chain ends after 4 of 32 sectors;
// 19,526 bytes are zeros"); true when it did, and the command then exits with EXIT_PROBLEM.
bool warn_if_short(std::ostream& err, const SlotArgs& args, const image::ChainReport& chain);

// Reports that the command needs `what` ("tap needs -o OUT") and returns EXIT_USAGE.
int missing(const Command& command, const std::string& what, std::ostream& err);

// The slot numbers of the values of a --slot option (checked when they were parsed).
std::vector<int> slots(const Args& args, std::string_view option = "--slot");

} // namespace cli
