// The commands of kestrel-cli and the helpers they share. Each takes the arguments after its own name.
#pragma once

#include "image/directory.h"
#include "image/extract.h"
#include "image/image_kinds.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

int run_list(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_tap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_screen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_image(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_basic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_make(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_snap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_disc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_find(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_add(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_rm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_rename(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_thumbnail(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_attr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Writes "kestrel-cli: " + subject + ": " + reason and a line end to err.
void report(std::ostream& err, const std::string& subject, const std::string& reason);

// A line number given with --line: decimal, 0-65279 (each dialect checks its own range).
std::optional<std::uint16_t> parse_line_number(const std::string& text);

// Writes a usage error for the command and returns EXIT_USAGE.
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

// Opens the image and reads its catalogue; on failure reports on err and returns std::nullopt. Damage met while
// opening a container is reported on err too.
std::optional<LoadedImage> load_image(const std::string& path, std::ostream& err);

// Parses a decimal slot number 0-777 (a MasterDOS disc can have 39 directory tracks; whether the image has the
// slot is require_listed's question); std::nullopt for anything else.
std::optional<int> parse_slot(const std::string& text);

// Whether the image lists a file in `slot`; if not, reports "no file in slot N" on err.
bool require_listed(const LoadedImage& loaded, int slot, std::ostream& err);

// What a command that acts on one file of an image takes: IMAGE --slot N, and as the command says -o OUT,
// --force and flags of its own.
struct SlotCommand
{
    const char* name = "";
    const char* output = nullptr;   // how help names the output ("OUT.png"); nullptr: no -o
    bool force = false;             // --force may be given
    std::vector<std::string> flags; // further options without a value
};

struct SlotArgs
{
    std::string image;
    int slot = -1;
    std::string output;
    bool force = false;
    std::vector<std::string> flags; // the flags given
    bool has(const std::string& flag) const;
};

// Parses the arguments after such a command's name; on failure reports the usage error and returns std::nullopt.
std::optional<SlotArgs> parse_slot_args(const SlotCommand& command, const std::vector<std::string>& args,
                                        std::ostream& err);

// Opens the image of `args` and checks that its slot lists a file; on failure reports on err and returns
// std::nullopt (the command exits with EXIT_USAGE).
std::optional<LoadedImage> load_slot(const SlotArgs& args, std::ostream& err);

// Writes "kestrel-cli: IMAGE: slot N: " + reason and a line end to err.
void report_slot(std::ostream& err, const SlotArgs& args, const std::string& reason);

// Warns on err when the file's chain left bytes of it zero ("... slot 0: the chain ends after 4 of 32 sectors;
// 19,526 bytes are zeros"); true when it did, and the command then exits with EXIT_PROBLEM.
bool warn_if_short(std::ostream& err, const SlotArgs& args, const image::ChainReport& chain);

// Walks the arguments after a command's name, so that every command reads its options alike and reports the same
// usage errors in the same words. The first "--" ends the options: it is skipped, and every argument after it is
// an operand (a file name), whatever it starts with. A method that meets bad input writes the usage error to err
// and returns false or std::nullopt; the command then stops with EXIT_USAGE.
class ArgWalker
{
public:
    ArgWalker(std::string command, const std::vector<std::string>& args, std::ostream& err);

    // Moves to the next argument; false after the last one.
    bool next();
    const std::string& arg() const { return m_args[m_at]; }
    // Whether the current argument is the option `option` (never after "--").
    bool is(const char* option) const { return !m_operands_only && arg() == option; }
    // Whether the current argument is an operand: after "--", or not starting with '-' ("-" alone is one).
    bool is_operand() const;
    // Reports the current argument as an unknown option.
    bool unknown_option();

    // The value following the current option.
    std::optional<std::string> value();
    // The slot number following the current option.
    std::optional<int> slot();
    // False, with the usage error, when an option that may be given once (`what`) was already given.
    bool once(bool given, const char* what);
    // Takes the current argument as the command's one IMAGE: an unknown option or a second image is refused.
    bool image(std::optional<std::string>& target);
    // Reports that `what` is missing.
    bool missing(const char* what);

private:
    std::string m_command;
    const std::vector<std::string>& m_args;
    std::ostream& m_err;
    std::size_t m_at;
    bool m_operands_only = false;
};

// What list and check take: IMAGE... [-r] [--json].
struct CollectionArgs
{
    std::vector<std::string> paths;
    bool recursive = false;
    bool json = false;
};

// Parses the arguments after list or check; on failure (an unknown option, no IMAGE) reports the usage error and
// returns std::nullopt.
std::optional<CollectionArgs> parse_collection_args(const char* command, const std::vector<std::string>& args,
                                                    std::ostream& err);

} // namespace cli
