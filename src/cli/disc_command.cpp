#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "common/same_file.h"
#include "image/geometry.h"
#include "transfer/disc_flow.h"
#include "transfer/libdsk_drive.h"

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include <unistd.h>

namespace cli {
namespace {

struct DiscOptions
{
    bool reading = true;
    char drive = 'A';
    std::string image; // the image written (read) or read (write)
    transfer::DriveAddress address;
    bool force = false;
    bool keep_damaged = false;
    bool allow_missing = false;
};

// "A:", "b:", "A" name a drive; anything else does not.
std::optional<char> parse_drive(const std::string& text)
{
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':'))
        return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter != 'A' && letter != 'B')
        return std::nullopt;
    return letter;
}

// The options of `disc read` or `disc write`; on failure reports the usage error and returns std::nullopt.
std::optional<DiscOptions> disc_options(const Command& command, const Args& args, std::ostream& err)
{
    DiscOptions options;
    options.reading = &command == &DISC_READ_COMMAND;
    const std::vector<std::string>& operands = args.operands();
    if (operands.size() != 2) {
        missing(
            command,
            options.reading ? "a drive and an image: read A:|B: OUT" : "an image and a drive: write IMAGE A:|B:", err);
        return std::nullopt;
    }
    const std::string& drive_text = options.reading ? operands[0] : operands[1];
    const auto drive = parse_drive(drive_text);
    if (!drive) {
        usage_error(err, "'" + drive_text + "' is not a drive (A: or B:)");
        return std::nullopt;
    }
    options.drive = *drive;
    options.image = options.reading ? operands[1] : operands[0];
    options.address = transfer::floppy_address(options.drive);
    const auto device = args.value("--device");
    if (device)
        options.address.device = *device;
    if (const auto driver = args.value("--driver"))
        options.address.driver = *driver;
    options.force = args.has("--force");
    options.keep_damaged = args.has("--keep-damaged");
    options.allow_missing = args.has("--allow-missing");
    // Without --device a file driver would make an image file named /dev/fd0, which then passes for a drive.
    if (transfer::is_file_driver(options.address.driver) && !device) {
        usage_error(err, "--driver " + options.address.driver + " works on a file: name it with --device PATH");
        return std::nullopt;
    }
    return options;
}

// Ctrl+C (or a TERM signal) during a transfer stops it at the next step instead of ending the program at once,
// so that a read leaves no temporary file and a write can say how far it came.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_interrupt(int)
{
    g_interrupted = true;
}

class InterruptCatcher
{
public:
    InterruptCatcher()
    {
        g_interrupted = false;
        m_old_int = std::signal(SIGINT, on_interrupt);
        m_old_term = std::signal(SIGTERM, on_interrupt);
    }
    ~InterruptCatcher()
    {
        std::signal(SIGINT, m_old_int);
        std::signal(SIGTERM, m_old_term);
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

private:
    using Handler = void (*)(int);
    Handler m_old_int = nullptr;
    Handler m_old_term = nullptr;
};

// Progress on stderr: on a terminal one line rewritten for every track (the blanks cover a longer line before);
// into a file or a pipe a line every PROGRESS_STEP tracks and one at the end.
constexpr int PROGRESS_STEP = 10;

class ProgressLine
{
public:
    ProgressLine(std::ostream& err, const char* verb) : m_err(err), m_verb(verb), m_terminal(is_terminal(err)) {}

    // Before the track `p.track`, side `p.side`.
    void track(const transfer::Progress& p)
    {
        if (m_terminal)
            show(p.tracks_done, p.errors, ", now " + image::track_text(p.track, p.side));
        else if (p.tracks_done > 0 && p.tracks_done % PROGRESS_STEP == 0)
            show(p.tracks_done, p.errors, "");
    }

    // After the transfer, whatever its end.
    void finish(int tracks_done, int errors) { show(tracks_done, errors, ""); }

private:
    // Only the program's own stderr can be a terminal; the streams of in-process callers never are.
    static bool is_terminal(const std::ostream& err) { return &err == &std::cerr && ::isatty(STDERR_FILENO) == 1; }

    void show(int tracks_done, int errors, const std::string& where)
    {
        const std::string text = std::string(m_verb) + ' ' + std::to_string(tracks_done) + " of " +
                                 std::to_string(transfer::TRACK_COUNT) + " tracks, errors: " + std::to_string(errors);
        if (m_terminal)
            m_err << '\r' << text << where << "      " << (where.empty() ? "\n" : "") << std::flush;
        else
            m_err << text << '\n' << std::flush;
    }

    std::ostream& m_err;
    const char* m_verb;
    bool m_terminal;
};

transfer::Hooks progress_hooks(ProgressLine& line)
{
    transfer::Hooks hooks;
    hooks.on_track = [&line](const transfer::Progress& p) {
        line.track(p);
    };
    hooks.is_cancelled = [] {
        return g_interrupted.load();
    };
    return hooks;
}

std::optional<transfer::OpenedDrive> open_drive(const DiscOptions& options, std::ostream& err)
{
    transfer::OpenedDrive opened = transfer::open_libdsk_drive(options.address, !options.reading);
    if (!opened.drive) {
        report(err, options.address.device, opened.error);
        return std::nullopt;
    }
    return opened;
}

int read_to_image(const DiscOptions& options, std::ostream& err)
{
    const image::Layout layout = image::layout_from_path(options.image);
    if (layout == image::Layout::None)
        return usage_error(err, "the image name must end in " + image::extensions_text(image::KindSet::Raw) + ": " +
                                    options.image);
    // Made before the drive is read, so that a target that cannot be written is known before a minute of reading.
    auto output = Output::open(options.image, {options.address.device}, options.force, "image", err);
    if (!output)
        return EXIT_USAGE;
    auto opened = open_drive(options, err);
    if (!opened)
        return EXIT_USAGE;
    const std::string& device = options.address.device;
    transfer::ReadReport read;
    ProgressLine line(err, "read");
    {
        InterruptCatcher catcher;
        read = transfer::read_disc(*opened->drive, layout, progress_hooks(line));
    }
    line.finish(read.tracks_done, static_cast<int>(read.unreadable.size()));
    for (const transfer::DriveSectorAddress& at : read.unreadable)
        report(err, device, transfer::unreadable_text(at));
    const transfer::ImageRead result =
        transfer::conclude_read(std::move(read), [&](std::size_t) { return options.keep_damaged; });
    const std::string& subject = result.about_drive() ? device : options.image;
    if (!result.write()) {
        const bool refused = result.end == transfer::ReadEnd::RefusedDamaged;
        report(err, subject, result.words() + (refused ? " (--keep-damaged keeps the image with zeros there)" : ""));
        return EXIT_PROBLEM;
    }
    if (!output->write(result.read.image))
        return EXIT_USAGE;
    if (result.end == transfer::ReadEnd::KeptDamaged) {
        report(err, subject, result.words());
        return EXIT_PROBLEM;
    }
    return EXIT_OK;
}

int write_from_image(const DiscOptions& options, std::ostream& err)
{
    const std::string& device = options.address.device;
    // The drive is the output: a file standing in for it is never the image, nor the archive holding the image.
    if (common::replaces_input(device, options.image)) {
        report(err, device, "is also an input (" + options.image + ")");
        return EXIT_USAGE;
    }
    // The disc of the image, read whole into memory.
    const auto copied = transfer::copy_image_file(options.image);
    if (const auto* reason = std::get_if<std::string>(&copied)) {
        report(err, options.image, *reason);
        return EXIT_USAGE;
    }
    const transfer::DiscCopy& disc = std::get<transfer::DiscCopy>(copied);
    if (!disc.missing.empty() && !options.allow_missing) {
        report(err, options.image, transfer::lacking_words(disc) + " (--allow-missing writes zeros there)");
        return EXIT_PROBLEM;
    }
    auto opened = open_drive(options, err);
    if (!opened)
        return EXIT_USAGE;
    transfer::WriteReport result;
    ProgressLine line(err, "written");
    {
        InterruptCatcher catcher;
        result = transfer::write_disc(*opened->drive, disc.bytes, progress_hooks(line));
    }
    line.finish(result.tracks_done, result.retried_tracks);
    if (result.outcome != transfer::Outcome::Done) {
        report(err, device, transfer::write_summary(result));
        return EXIT_PROBLEM;
    }
    if (!disc.missing.empty()) {
        report(err, options.image,
               "written to the disc with zeros in place of " + transfer::sectors_text(disc.missing));
        return EXIT_PROBLEM;
    }
    return EXIT_OK;
}

int run_disc(const Command& command, const Args& args, std::ostream& err)
{
    const auto options = disc_options(command, args, err);
    if (!options)
        return EXIT_USAGE;
    return options->reading ? read_to_image(*options, err) : write_from_image(*options, err);
}

constexpr Option DEVICE{"--device", nullptr, "PATH", "the drive's device, or the file that stands in for it"};
constexpr Option DRIVER{"--driver", nullptr, "NAME",
                        "the libdsk driver (default floppy); raw, rawoo, dsk or edsk work on the file --device names"};

} // namespace

const Command DISC_READ_COMMAND{
    .name = "disc read",
    .synopsis = "A:|B: OUT [--force] [--keep-damaged] [--device PATH] [--driver NAME]",
    .summary = "Reads the floppy in drive A: (/dev/fd0) or B: (/dev/fd1) into the image OUT ({RAW_OR}\n"
               "decides the layout). Each sector is tried 5 times; without --keep-damaged a disc with unreadable\n"
               "sectors writes no image. An existing OUT is only replaced with --force.",
    .options = {FORCE, flag("--keep-damaged", "write the image of a disc with unreadable sectors, zeros there"), DEVICE,
                DRIVER},
    .example = "disc read A: backup.mgt",
    .run = [](const Args& args, std::ostream&, std::ostream& err) { return run_disc(DISC_READ_COMMAND, args, err); },
};

const Command DISC_WRITE_COMMAND{
    .name = "disc write",
    .synopsis = "IMAGE A:|B: [--allow-missing] [--device PATH] [--driver NAME]",
    .summary = "Formats the floppy track by track, writes IMAGE to it and reads every track back to compare.\n"
               "An image that lacks sectors is only written with --allow-missing (zeros there).\n"
               "--device and --driver name another device or libdsk driver (default: floppy); a file driver\n"
               "such as raw, rawoo, dsk or edsk makes the file named by --device a stand-in for the drive.",
    .options = {flag("--allow-missing", "write an image that lacks sectors, zeros there"), DEVICE, DRIVER},
    .example = "disc write game.mgt B:",
    .run = [](const Args& args, std::ostream&, std::ostream& err) { return run_disc(DISC_WRITE_COMMAND, args, err); },
};

} // namespace cli
