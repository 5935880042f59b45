// The edit commands: add, rm, rename and attr. Each reads the image whole, builds the edit in memory (files/
// disc_edit.h checks it), and writes it: over a plain image in place through files::save_disc, or as a new image
// OUT through cli::Output. A container is never rewritten in place.
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "cli/output.h"
#include "common/address_text.h"
#include "common/file_read.h"
#include "common/locked_file.h"
#include "common/same_file.h"
#include "files/disc_edit.h"
#include "files/disc_save.h"
#include "image/directory.h"
#include "image/image_kinds.h"
#include "image/sector_source.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>

namespace cli {
namespace {

// What every edit command takes besides its own operands.
struct EditArgs
{
    std::optional<std::string> image;
    std::optional<std::string> output;
    bool force = false;
    bool json = false;
    std::vector<int> slots;
};

EditArgs edit_args(const Args& args)
{
    EditArgs edit;
    if (!args.operands().empty())
        edit.image = args.operands().front();
    edit.output = args.value("-o");
    edit.force = args.has("--force");
    edit.json = args.has("--json");
    edit.slots = slots(args);
    return edit;
}

// An address: decimal, or hexadecimal after 0x.
std::optional<std::uint32_t> parse_address(const std::string& text)
{
    const bool is_hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (is_hex ? 2 : 0);
    const char* end = text.data() + text.size();
    std::uint32_t value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value, is_hex ? 16 : 10);
    if (begin == end || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::string check_address(const std::string& text)
{
    return parse_address(text) ? "" : "invalid address '" + text + "' (decimal, or hexadecimal after 0x)";
}

// Whether the plain image at `path` may be rewritten in place: a raw kind by its name, a file of its own (not an
// image inside an archive), not a container by its signature, of exactly 819,200 bytes. Reports why not.
bool may_edit_in_place(const std::string& path, std::ostream& err)
{
    const image::ImageKind* kind = image::kind_of_name(path);
    const std::string advice =
        "; give -o OUT (" + image::extensions_text(image::KindSet::Raw) + ") for the edited image";
    if (common::file_read_from(path) != path) {
        report(err, path, "an image inside an archive is not rewritten in place" + advice);
        return false;
    }
    if (kind == nullptr || kind->form != image::ImageForm::Raw) {
        report(err, path,
               std::string(kind ? "a " + std::string(kind->label) + " image" : "this file") +
                   " is not rewritten in place" + advice);
        return false;
    }
    common::ReadOnlyFile file(path);
    if (!file.is_open())
        return true; // opening the image says why
    std::array<std::uint8_t, image::SECTOR_SIZE> head{};
    const std::size_t got = file.read_at(0, head);
    if (const image::ImageKind* inside = image::kind_by_signature(std::span(head.data(), got));
        inside != nullptr && inside->form != image::ImageForm::Raw) {
        report(err, path, "an " + std::string(inside->label) + " container is not rewritten in place" + advice);
        return false;
    }
    if (file.size() != static_cast<std::uint64_t>(image::IMAGE_BYTES)) {
        report(err, path,
               image::size_reason(static_cast<std::int64_t>(file.size())) +
                   ": only a whole image is rewritten in place" + advice);
        return false;
    }
    return true;
}

using Edit = std::function<files::EditOutcome(const files::DiscValue&)>;

// Where an edit goes: OUT, or the image itself, locked from before it is read until the edited disc has replaced
// it, so that edits of one image by several processes run one after another.
struct EditTarget
{
    std::optional<Output> output;
    std::optional<common::LockedFile> lock;
    image::Layout layout = image::Layout::None;
};

std::optional<EditTarget> edit_target(const EditArgs& args, const std::vector<std::string>& inputs, std::ostream& err)
{
    const std::string& path = *args.image;
    EditTarget target;
    if (args.output) {
        target.layout = image::layout_from_path(*args.output);
        if (target.layout == image::Layout::None) {
            usage_error(err, "the output of an edit must end in " + image::extensions_text(image::KindSet::Raw));
            return std::nullopt;
        }
        std::vector<std::string> read = inputs;
        read.push_back(path);
        target.output = Output::open(*args.output, read, args.force, "image", err);
        if (!target.output)
            return std::nullopt;
        return target;
    }
    if (!may_edit_in_place(path, err))
        return std::nullopt;
    target.layout = image::layout_from_path(path);
    auto locked = files::lock_image(path);
    if (auto* lock = std::get_if<common::LockedFile>(&locked)) {
        target.lock = std::move(*lock);
        return target;
    }
    // An image that cannot be opened is reported as every command reports it.
    auto opened = image::open_one_image(path);
    const auto* failure = std::get_if<common::Error>(&opened);
    report(err, path, failure ? failure->text : std::get<std::string>(locked));
    return std::nullopt;
}

// Writes the edited disc; false, reported, when nothing was written or (`lost`) another program's change was lost.
bool write_edit(const EditArgs& args, EditTarget& target, const files::DiscValue& before, const files::DiscValue& after,
                bool& lost, std::ostream& err)
{
    if (target.output)
        return target.output->write(after.bytes);
    files::SaveOptions options;
    options.split_links = args.force;
    const files::SaveResult saved = files::save_disc(*target.lock, *args.image, before, after, options);
    if (saved.problem == files::SaveProblem::HardLinks)
        report(err, *args.image, saved.text + " (--force writes it all the same)");
    else if (!saved.text.empty())
        report(err, *args.image, saved.text);
    lost = saved.problem == files::SaveProblem::OtherWriteLost;
    return saved.written;
}

void print_done(const EditArgs& args, const files::Edited& done, std::ostream& out)
{
    if (!args.json) {
        for (const std::string& line : done.lines)
            out << line << '\n';
        return;
    }
    // The changed files as the edited disc lists them (a freed slot lists nothing).
    image::RawImage listed(std::make_unique<image::MemoryBytes>(done.disc.bytes), done.disc.layout);
    Json files = Json::array();
    for (const image::CatalogueRow& row : image::read_directory(listed)) {
        if (std::find(done.changed_slots.begin(), done.changed_slots.end(), row.slot) != done.changed_slots.end())
            files.push_back(file_json(row));
    }
    write_json(out, {{"image", *args.image},
                     {"output", args.output ? Json(*args.output) : Json(nullptr)},
                     {"slots", done.changed_slots},
                     {"files", std::move(files)},
                     {"lines", done.lines}});
}

// Reads the image, runs the edit and writes the result; `inputs` are the files the command reads besides IMAGE.
int run_edit(const EditArgs& args, const std::vector<std::string>& inputs, const Edit& edit, std::ostream& out,
             std::ostream& err, bool problems = false)
{
    const std::string& path = *args.image;
    auto target = edit_target(args, inputs, err);
    if (!target)
        return EXIT_USAGE;
    auto opened = open_reported(path, err);
    if (!opened)
        return EXIT_USAGE;
    auto& source = *opened;
    report_findings(err, path, source);
    // In place, the image keeps the layout it was read in (its content's, where that overrides its name).
    if (!args.output && source.layout != image::Layout::None)
        target->layout = source.layout;
    auto value = files::read_disc_value(*source.source, target->layout);
    if (const auto* why = std::get_if<std::string>(&value)) {
        report(err, path, *why);
        return EXIT_USAGE;
    }
    const auto& before = std::get<files::DiscValue>(value);
    const auto edited = edit(before);
    if (const auto* why = std::get_if<std::string>(&edited)) {
        report(err, path, *why);
        return EXIT_PROBLEM;
    }
    const auto& done = std::get<files::Edited>(edited);
    bool lost = false;
    if (!write_edit(args, *target, before, done.disc, lost, err))
        return EXIT_USAGE;
    print_done(args, done, out);
    if (lost)
        return EXIT_USAGE;
    return problems ? EXIT_PROBLEM : EXIT_OK;
}

int run_add(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.operands().size() < 2)
        return missing(ADD_COMMAND, "IMAGE and at least one FILE", err);
    const EditArgs edit = edit_args(args);
    const std::vector<std::string> paths(args.operands().begin() + 1, args.operands().end());
    files::AddOptions options;
    options.name = args.value("--name");
    if (options.name && paths.size() > 1)
        return usage_error(err, "--name names one file; add was given " + std::to_string(paths.size()));
    if (const auto start = args.value("--start"))
        options.start = parse_address(*start);
    if (const auto exec = args.value("--exec"))
        options.exec = parse_address(*exec);
    options.sam = args.has("--sam");
    if (const auto line = args.value("--line"))
        options.line = parse_line_number(*line);

    std::vector<files::NewFile> files;
    files::Overflow overflow;
    bool problems = false;
    for (const std::string& path : paths) {
        auto made = files::files_from_path(path, options);
        if (const auto* why = std::get_if<std::string>(&made)) {
            err << PROGRAM_NAME << ": " << *why << '\n';
            return EXIT_USAGE;
        }
        auto& found = std::get<files::FilesToAdd>(made);
        for (const std::string& note : found.notes)
            err << PROGRAM_NAME << ": " << note << '\n';
        problems = problems || !found.notes.empty();
        for (auto& file : found.files)
            files.push_back(std::move(file));
        overflow.files += found.overflow.files;
        overflow.sectors += found.overflow.sectors;
    }
    return run_edit(
        edit, paths, [&](const files::DiscValue& disc) { return files::add_files(disc, files, overflow); }, out, err,
        problems);
}

int run_rm(const Args& args, std::ostream& out, std::ostream& err)
{
    const EditArgs edit = edit_args(args);
    if (!edit.image || edit.slots.empty())
        return missing(RM_COMMAND, "IMAGE and --slot N", err);
    const bool wipe = args.has("--wipe");
    return run_edit(
        edit, {}, [&](const files::DiscValue& disc) { return files::remove_files(disc, edit.slots, wipe, edit.force); },
        out, err);
}

int run_rename(const Args& args, std::ostream& out, std::ostream& err)
{
    const EditArgs edit = edit_args(args);
    if (args.operands().size() < 2 || edit.slots.empty())
        return missing(RENAME_COMMAND, "IMAGE, --slot N and NEWNAME", err);
    const std::string& name = args.operands()[1];
    return run_edit(
        edit, {},
        [&](const files::DiscValue& disc) { return files::rename_file(disc, edit.slots.front(), name, edit.force); },
        out, err);
}

// What attr does to a flag: +X sets it, -X clears it.
files::FlagChange flag_change(const Args& args, char flag)
{
    if (args.has(std::string("+") + flag))
        return files::FlagChange::Set;
    return args.has(std::string("-") + flag) ? files::FlagChange::Clear : files::FlagChange::Keep;
}

std::string check_attr_operand(const std::string& arg)
{
    if (arg.size() == 2 && arg[0] == '+')
        return "unknown flag '" + arg + "' (attr takes +h, -h, +p and -p)";
    return "";
}

int run_attr(const Args& args, std::ostream& out, std::ostream& err)
{
    for (const char flag : {'h', 'p'}) {
        if (args.count(std::string("+") + flag) + args.count(std::string("-") + flag) > 1)
            return usage_error(err, std::string("attr takes one of +") + flag + " and -" + flag);
    }
    const EditArgs edit = edit_args(args);
    if (!edit.image || edit.slots.empty())
        return missing(ATTR_COMMAND, "IMAGE and --slot N", err);
    const files::FlagChange hidden = flag_change(args, 'h');
    const files::FlagChange protect = flag_change(args, 'p');
    if (hidden == files::FlagChange::Keep && protect == files::FlagChange::Keep)
        return usage_error(err, "attr needs +h, -h, +p or -p");
    return run_edit(
        edit, {},
        [&](const files::DiscValue& disc) { return files::set_flags(disc, edit.slots.front(), hidden, protect); }, out,
        err);
}

constexpr Option EDIT_OUTPUT = output_option("OUT", "write the edited image to OUT and leave IMAGE as it is");

// An edit: its own options, then --force and --json, which every edit takes, and the note on how every edit writes.
Command edit_command(Command command)
{
    static constexpr const char* NOTE =
        "An edit is checked before it is written, and leaves the image as it was when anything fails. A\n"
        "plain image is rewritten in place (through a temporary file, only when it still holds what was\n"
        "read); a container (gz, zip, DSK, SAD) needs -o OUT ({RAW_OR}), an existing OUT --force.";
    command.options.push_back(
        flag("--force", "replace an existing OUT; edit a protected file, or in place an image of several names"));
    command.options.push_back(flag("--json", "the edit as one JSON document on stdout"));
    command.note = NOTE;
    return command;
}

} // namespace

std::optional<std::uint16_t> parse_line_number(const std::string& text)
{
    constexpr std::uint32_t MAX_LINE = 0xFEFF;
    std::uint32_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value > MAX_LINE)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string check_line(const std::string& text)
{
    return parse_line_number(text) ? "" : "invalid line number '" + text + "' (0-65279)";
}

const Command ADD_COMMAND = edit_command({
    .name = "add",
    .synopsis =
        "IMAGE FILE... [-o OUT] [--name NAME] [--start ADDR] [--exec ADDR] [--sam] [--line L] [--force] [--json]",
    .summary = "Adds files to the image: every standard file of a .tap/.tzx, a .z80/.sna as a +D snapshot, any\n"
               "other file as ZX Code at --start (default 32768) or with --sam as SAM Code (--start a 19-bit\n"
               "address, --exec optional). Names come from the tape, the file name or --name (10 bytes); a name\n"
               "already on the disc is refused, and so is an image without room (the message says how much).\n"
               "A BASIC text (.bas) becomes a ZX BASIC program, with --sam a SAM BASIC one, run at line L.",
    .options = {EDIT_OUTPUT,
                {"--name", nullptr, "NAME", "the name of the one FILE added (10 bytes)"},
                {"--start", nullptr, "ADDR", "the start address of a code file (decimal, or hexadecimal after 0x)",
                 false, check_address},
                {"--exec", nullptr, "ADDR", "the execution address of SAM Code", false, check_address},
                flag("--sam", "a SAM Code file, or SAM BASIC for BASIC text"),
                {"--line", nullptr, "L", "the line a program of BASIC text runs from when loaded", false, check_line}},
    .example = "add game.mgt loader.tap",
    .run = run_add,
});

const Command RM_COMMAND = edit_command({
    .name = "rm",
    .synopsis = "IMAGE --slot N... [-o OUT] [--wipe] [--force] [--json]",
    .summary = "Removes the files in the slots, as the DOS's ERASE does; --wipe also zeroes their sectors.",
    .options = {{"--slot", nullptr, "N", "the slot of a file to remove", true, check_slot},
                EDIT_OUTPUT,
                flag("--wipe", "zero the removed files' sectors")},
    .example = "rm game.mgt --slot 3",
    .run = run_rm,
    .operands = ONE_IMAGE,
});

const Command RENAME_COMMAND = edit_command({
    .name = "rename",
    .synopsis = "IMAGE --slot N NEWNAME [-o OUT] [--force] [--json]",
    .summary = "Renames the file in slot N (10 bytes, padded with spaces); a name in use is refused.",
    .options = {SLOT, EDIT_OUTPUT},
    .example = "rename game.mgt --slot 0 run",
    .run = run_rename,
    .operands = {2, "takes one NEWNAME"},
});

const Command ATTR_COMMAND = edit_command({
    .name = "attr",
    .synopsis = "IMAGE --slot N [+h|-h] [+p|-p] [-o OUT] [--force] [--json]",
    .summary = "Sets (+) or clears (-) the hidden (h) and protected (p) flags of the file in slot N.",
    .options = {SLOT, flag("+h", "hide the file"), flag("-h", "show the file again"), flag("+p", "protect the file"),
                flag("-p", "take away the protection"), EDIT_OUTPUT},
    .example = "attr game.mgt --slot 0 +p",
    .run = run_attr,
    .operands = {1, "takes exactly one IMAGE", check_attr_operand},
});

} // namespace cli
