#include "cli/cli.h"

#include "cli/commands.h"
#include "common/path_text.h"
#include "common/version.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <utility>

namespace cli {
namespace {

constexpr const char* HELP_TEXT =
    R"(Usage: kestrel-cli COMMAND [ARGUMENTS]

Reads +D / DISCiPLE / SAM Coupe disc images ({RAW}; 819,200 bytes), makes new ones from tapes and edits
them. Only add, rm, rename and attr change an image, and only a plain one in place. An IMAGE may also be
gzipped (.mgt.gz, ...), in a zip archive (ARCHIVE.zip, or ARCHIVE.zip/NAME for one of several images in it),
an Extended DSK (whatever its name) or a SAD image, of the 800K geometry.

Commands:
  list IMAGE... [-r] [--json]
      One line per listed file: name, start, length, attributes, type, start sector, start track,
      sector count and directory slot, separated by TAB. Names are the raw bytes stored on the disc.
      With several images or -r, each line starts with the image and a TAB.
  check IMAGE... [-r] [--json]
      Integrity scan of each image: the lines the scan writes, then a summary and an empty line.
  find PATTERN PATH... [-r] [--type TYPE]... [--json]
      Files whose names (without their padding spaces) match the shell PATTERN (*, ?, [...]; any
      case): one line per file with the image, slot, name, type and length, separated by TAB. TYPE is a type (zx-basic, sam-code, ...)
      or a group (zx, sam, screen, snapshot, subdirectory). Exit status 1 when nothing matched.
  tap IMAGE -o OUT [--slot N]... [--no-rewrite] [--force]
      Converts the ZX files of the image (or only the given directory slots) into the tape file OUT,
      blanking disc syntax out of BASIC loaders unless --no-rewrite is given. An existing OUT is only
      replaced with --force.
  screen IMAGE --slot N -o OUT.png [--force]
      Writes the first 6,912 bytes of the file in slot N as a 256 x 192 PNG picture. An existing OUT
      is only replaced with --force.
  thumbnail IMAGE OUT.png [--size N] [--force]
      Draws the image's first screen (ZX or SAM), or for a disc without one a picture of its files,
      scaled to fit N x N pixels (1-1024, default 128): the picture file managers show for it.
  image IMAGE -o OUT.mgt|OUT.img [--force] [--json]
      Writes the image as a plain 819,200-byte image in the layout of OUT's extension (.mgt and .dsk
      cylinder by cylinder, .img side after side). An existing OUT is only replaced with --force.
  basic IMAGE --slot N [--rewrite] [--json]
      Lists the ZX BASIC program in slot N (the variables after it are not listed); with --rewrite,
      as the tape will hold it after the loader rewrite. Control codes appear as \{INK 2}, \{AT 3,4}...;
      damage ends the listing with a line "** damage at byte N: ...".
  make OUT TAPE... [--system IMAGE [--system-slot N]] [--force] [--json]
      Makes a new +D disc image OUT ({RAW_BY_LAYOUT}) of the files on the .tap/.tzx tapes, one line per
      file placed; skipped tape blocks are reported on stderr. --system copies the +D system file of IMAGE
      (the first file named +SYS..., or slot N) as the first file. An existing OUT only with --force.
  snap IMAGE --slot N -o OUT.z80|OUT.sna [--force]
      Writes the +D / DISCiPLE snapshot in slot N (a 48K or 128K snapshot file) as an emulator
      snapshot, .z80 or .sna after OUT's extension. An existing OUT is only replaced with --force.
  disc read A:|B: OUT [--force] [--keep-damaged] [--device PATH] [--driver NAME]
      Reads the floppy in drive A: (/dev/fd0) or B: (/dev/fd1) into the image OUT ({RAW_OR}
      decides the layout). Each sector is tried 5 times; without --keep-damaged a disc with unreadable
      sectors writes no image. An existing OUT is only replaced with --force.
  disc write IMAGE A:|B: [--allow-missing] [--device PATH] [--driver NAME]
      Formats the floppy track by track, writes IMAGE to it and reads every track back to compare.
      An image that lacks sectors is only written with --allow-missing (zeros there).
      --device and --driver name another device or libdsk driver (default: floppy); a file driver
      such as raw, rawoo, dsk or edsk makes the file named by --device a stand-in for the drive.
  export IMAGE --slot N -o OUT [--force]
      Writes the data of the file in slot N as raw bytes: a ZX file as it goes on tape, a SAM file
      without its nine-byte disc header, both of the length the directory gives (zeros where the
      chain ends early, said on stderr with exit status 1). An existing OUT is only replaced with
      --force; never the image itself.
  add IMAGE FILE... [-o OUT] [--name NAME] [--start ADDR] [--exec ADDR] [--sam] [--force] [--json]
      Adds files to the image: every standard file of a .tap/.tzx, a .z80/.sna as a +D snapshot, any
      other file as ZX Code at --start (default 32768) or with --sam as SAM Code (--start a 19-bit
      address, --exec optional). Names come from the tape, the file name or --name (10 bytes); a name
      already on the disc is refused, and so is an image without room (the message says how much).
  rm IMAGE --slot N... [-o OUT] [--wipe] [--force] [--json]
      Removes the files in the slots, as the DOS's ERASE does; --wipe also zeroes their sectors.
  rename IMAGE --slot N NEWNAME [-o OUT] [--force] [--json]
      Renames the file in slot N (10 bytes, padded with spaces); a name in use is refused.
  attr IMAGE --slot N [+h|-h] [+p|-p] [-o OUT] [--force] [--json]
      Sets (+) or clears (-) the hidden (h) and protected (p) flags of the file in slot N.
      An edit is checked before it is written, and leaves the image as it was when anything fails. A
      plain image is rewritten in place (through a temporary file, only when it still holds what was
      read); a container (gz, zip, DSK, SAD) needs -o OUT ({RAW_OR}), an existing OUT --force.

Options:
  -r, --recursive
                 list, check, find: walk into folders and take every image of the zip archives met,
                 named FOLDER/ARCHIVE.zip/NAME; files of other names are passed over, images that
                 cannot be read are reported and skipped (exit status 2)
  --json         list, check, find, basic, make, image and the edits: one JSON document on stdout
                 instead of the text (fields in the README); messages stay on stderr
  -h, --help     show this text (also after a command: kestrel-cli tap --help)
  --version      show the version
  --             ends the options: what follows are file names, even when they start with '-'

No command writes over a file it reads (by any name: a link, a path with ..), nor over an existing file
without --force. Data that is not there (a chain that ends early, an image cut short, missing sectors) is
said on stderr and gives exit status 1.

Exit status: 0 success; 1 the command found or reported a problem (damage, a file not converted, data
missing); 2 usage error, an image (or drive) that cannot be read, or an output that may not or cannot be
written.
)";

// The help text with the lists of image extensions taken from the table of image kinds.
std::string help_text()
{
    std::string text = HELP_TEXT;
    auto put = [&text](std::string_view mark, const std::string& value) {
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    };
    put("{RAW}", image::extensions_text(image::KindSet::Raw, ", "));
    put("{RAW_OR}", image::extensions_text(image::KindSet::Raw));
    put("{RAW_BY_LAYOUT}", image::layouts_text());
    return text;
}

bool is_help_option(const std::string& arg)
{
    return arg == "-h" || arg == "--help";
}

} // namespace

void report(std::ostream& err, const std::string& subject, const std::string& reason)
{
    err << PROGRAM_NAME << ": " << common::shown_path(subject) << ": " << reason << '\n';
}

int usage_error(std::ostream& err, const std::string& reason)
{
    err << PROGRAM_NAME << ": " << reason << "\nTry 'kestrel-cli --help' for more information.\n";
    return EXIT_USAGE;
}

void report_findings(std::ostream& err, const std::string& path, const image::OpenImage& image)
{
    for (const std::string& note : image.notes)
        report(err, path, note);
    for (const std::string& finding : image.findings)
        report(err, path, finding);
}

std::optional<LoadedImage> load_image(const std::string& path, std::ostream& err)
{
    auto opened = image::open_one_image(path);
    if (const auto* failure = std::get_if<image::OpenFailure>(&opened)) {
        report(err, path, failure->text);
        return std::nullopt;
    }
    LoadedImage loaded{path, std::get<image::OpenImage>(std::move(opened)), {}};
    report_findings(err, path, loaded.image);
    loaded.catalogue = image::read_directory(loaded.disc());
    return loaded;
}

std::optional<int> parse_slot(const std::string& text)
{
    int slot = -1;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, slot);
    if (text.empty() || ec != std::errc() || ptr != end || slot < 0 || slot >= image::MAX_DIRECTORY_SLOTS)
        return std::nullopt;
    return slot;
}

bool require_listed(const LoadedImage& loaded, int slot, std::ostream& err)
{
    const auto& rows = loaded.catalogue;
    if (std::any_of(rows.begin(), rows.end(), [slot](const image::CatalogueRow& row) { return row.slot == slot; }))
        return true;
    report(err, loaded.path, "no file in slot " + std::to_string(slot));
    return false;
}

ArgWalker::ArgWalker(std::string command, const std::vector<std::string>& args, std::ostream& err)
    : m_command(std::move(command)), m_args(args), m_err(err), m_at(static_cast<std::size_t>(-1))
{}

bool ArgWalker::next()
{
    ++m_at;
    if (!m_operands_only && m_at < m_args.size() && m_args[m_at] == "--") {
        m_operands_only = true;
        ++m_at;
    }
    return m_at < m_args.size();
}

bool ArgWalker::is_operand() const
{
    return m_operands_only || arg().size() <= 1 || arg().front() != '-';
}

bool ArgWalker::unknown_option()
{
    usage_error(m_err, "unknown option '" + arg() + "'");
    return false;
}

std::optional<std::string> ArgWalker::value()
{
    if (m_at + 1 >= m_args.size()) {
        usage_error(m_err, "option '" + arg() + "' needs a value");
        return std::nullopt;
    }
    ++m_at;
    return arg();
}

std::optional<int> ArgWalker::slot()
{
    const auto text = value();
    if (!text)
        return std::nullopt;
    const auto slot = parse_slot(*text);
    if (!slot)
        usage_error(m_err, "invalid slot '" + *text + "' (0-" + std::to_string(image::MAX_DIRECTORY_SLOTS - 1) + ")");
    return slot;
}

bool ArgWalker::once(bool given, const char* what)
{
    if (given)
        usage_error(m_err, m_command + " takes one " + what);
    return !given;
}

bool ArgWalker::image(std::optional<std::string>& target)
{
    if (!is_operand())
        return unknown_option();
    if (target) {
        usage_error(m_err, m_command + " takes exactly one IMAGE");
        return false;
    }
    target = arg();
    return true;
}

bool ArgWalker::missing(const char* what)
{
    usage_error(m_err, m_command + " needs " + what);
    return false;
}

std::optional<CollectionArgs> parse_collection_args(const char* command, const std::vector<std::string>& args,
                                                    std::ostream& err)
{
    ArgWalker walk(command, args, err);
    CollectionArgs parsed;
    while (walk.next()) {
        if (walk.is("-r") || walk.is("--recursive"))
            parsed.recursive = true;
        else if (walk.is("--json"))
            parsed.json = true;
        else if (walk.is_operand())
            parsed.paths.push_back(walk.arg());
        else if (!walk.unknown_option())
            return std::nullopt;
    }
    if (parsed.paths.empty()) {
        walk.missing("at least one IMAGE");
        return std::nullopt;
    }
    return parsed;
}

bool SlotArgs::has(const std::string& flag) const
{
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::optional<SlotArgs> parse_slot_args(const SlotCommand& command, const std::vector<std::string>& args,
                                        std::ostream& err)
{
    ArgWalker walk(command.name, args, err);
    SlotArgs parsed;
    std::optional<std::string> image;
    std::optional<std::string> output;
    std::optional<int> slot;
    const std::string output_option = std::string("-o ") + (command.output ? command.output : "");
    while (walk.next()) {
        if (walk.is("--slot")) {
            if (!walk.once(slot.has_value(), "--slot N") || !(slot = walk.slot()))
                return std::nullopt;
        } else if (command.output && (walk.is("-o") || walk.is("--output"))) {
            if (!walk.once(output.has_value(), output_option.c_str()) || !(output = walk.value()))
                return std::nullopt;
        } else if (command.force && walk.is("--force")) {
            parsed.force = true;
        } else if (!walk.is_operand() &&
                   std::find(command.flags.begin(), command.flags.end(), walk.arg()) != command.flags.end()) {
            parsed.flags.push_back(walk.arg());
        } else if (!walk.image(image)) {
            return std::nullopt;
        }
    }
    if (!image || !slot || (command.output && !output)) {
        walk.missing(command.output ? ("IMAGE, --slot N and " + output_option).c_str() : "IMAGE and --slot N");
        return std::nullopt;
    }
    parsed.image = *image;
    parsed.slot = *slot;
    parsed.output = output.value_or("");
    return parsed;
}

std::optional<LoadedImage> load_slot(const SlotArgs& args, std::ostream& err)
{
    auto loaded = load_image(args.image, err);
    if (!loaded || !require_listed(*loaded, args.slot, err))
        return std::nullopt;
    return loaded;
}

void report_slot(std::ostream& err, const SlotArgs& args, const std::string& reason)
{
    report(err, args.image, "slot " + std::to_string(args.slot) + ": " + reason);
}

bool warn_if_short(std::ostream& err, const SlotArgs& args, const image::ChainReport& chain)
{
    if (chain.complete())
        return false;
    report_slot(err, args, image::shortfall_text(chain));
    return true;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return usage_error(err, "missing command");
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--version") {
        out << PROGRAM_NAME << ' ' << common::VERSION << '\n';
        return EXIT_OK;
    }
    using Command = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);
    const std::pair<const char*, Command> commands[] = {
        {"list", run_list},   {"check", run_check},   {"tap", run_tap},   {"screen", run_screen},
        {"basic", run_basic}, {"make", run_make},     {"snap", run_snap}, {"image", run_image},
        {"disc", run_disc},   {"export", run_export}, {"find", run_find}, {"add", run_add},
        {"rm", run_rm},       {"rename", run_rename}, {"attr", run_attr}, {"thumbnail", run_thumbnail}};
    const auto* found = std::find_if(std::begin(commands), std::end(commands),
                                     [&](const auto& named) { return command == named.first; });
    const bool is_help = is_help_option(command) || command == "help";
    if (!is_help && found == std::end(commands))
        return usage_error(err, "unknown command '" + command + "'");
    // "COMMAND --help" asks for help, as with most tools, rather than naming an image or an unknown option.
    // attr's -h clears the hidden flag: there only --help asks for help.
    const auto asks_help = [&](const std::string& arg) {
        return command == "attr" ? arg == "--help" : is_help_option(arg);
    };
    if (is_help || std::any_of(rest.begin(), std::find(rest.begin(), rest.end(), "--"), asks_help)) {
        out << help_text();
        return EXIT_OK;
    }
    return found->second(rest, out, err);
}

int run_and_flush(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const int code = run(args, out, err);
    out.flush();
    if (!out.fail())
        return code;
    report(err, "standard output", "cannot write");
    return EXIT_USAGE;
}

} // namespace cli
