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

// Takes -o OUT, --force and --slot N (repeatable when `many_slots`); false when the argument is none of them.
// `failed` is set when it was one of them but bad (the usage error is then reported).
bool common_option(ArgWalker& walk, EditArgs& args, bool many_slots, bool& failed)
{
    if (walk.is("-o") || walk.is("--output")) {
        failed = !walk.once(args.output.has_value(), "-o OUT") || !(args.output = walk.value());
    } else if (walk.is("--force")) {
        args.force = true;
    } else if (walk.is("--slot")) {
        std::optional<int> slot;
        failed = (!many_slots && !walk.once(!args.slots.empty(), "--slot N")) || !(slot = walk.slot());
        if (!failed)
            args.slots.push_back(*slot);
    } else {
        return false;
    }
    return true;
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
    const auto* failure = std::get_if<image::OpenFailure>(&opened);
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
    auto opened = image::open_one_image(path);
    if (const auto* failure = std::get_if<image::OpenFailure>(&opened)) {
        report(err, path, failure->text);
        return EXIT_USAGE;
    }
    auto& source = std::get<image::OpenImage>(opened);
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

int run_add(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    EditArgs edit;
    std::vector<std::string> rest = args;
    edit.json = take_option(rest, {"--json"});
    ArgWalker walk("add", rest, err);
    files::AddOptions options;
    std::vector<std::string> paths;
    while (walk.next()) {
        bool failed = false;
        if (walk.is("--slot")) {
            walk.unknown_option();
            return EXIT_USAGE;
        }
        if (common_option(walk, edit, false, failed)) {
            if (failed)
                return EXIT_USAGE;
        } else if (walk.is("--name")) {
            if (!walk.once(options.name.has_value(), "--name NAME") || !(options.name = walk.value()))
                return EXIT_USAGE;
        } else if (walk.is("--start") || walk.is("--exec")) {
            const bool start = walk.is("--start");
            auto& target = start ? options.start : options.exec;
            if (!walk.once(target.has_value(), start ? "--start ADDR" : "--exec ADDR"))
                return EXIT_USAGE;
            const auto text = walk.value();
            if (!text)
                return EXIT_USAGE;
            if (!(target = common::parse_address(*text)))
                return usage_error(err, "invalid address '" + *text + "' (decimal, or hexadecimal after 0x, # or $)");
        } else if (walk.is("--sam")) {
            options.sam = true;
        } else if (walk.is("--line")) {
            const auto text = walk.once(options.line.has_value(), "--line L") ? walk.value() : std::nullopt;
            if (!text)
                return EXIT_USAGE;
            if (!(options.line = parse_line_number(*text)))
                return usage_error(err, "invalid line number '" + *text + "' (0-65279)");
        } else if (!edit.image) {
            if (!walk.image(edit.image))
                return EXIT_USAGE;
        } else if (!walk.is_operand()) {
            walk.unknown_option();
            return EXIT_USAGE;
        } else {
            paths.push_back(walk.arg());
        }
    }
    if (!edit.image || paths.empty()) {
        walk.missing("IMAGE and at least one FILE");
        return EXIT_USAGE;
    }
    if (options.name && paths.size() > 1)
        return usage_error(err, "--name names one file; add was given " + std::to_string(paths.size()));

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

int run_rm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    EditArgs edit;
    std::vector<std::string> rest = args;
    edit.json = take_option(rest, {"--json"});
    ArgWalker walk("rm", rest, err);
    bool wipe = false;
    while (walk.next()) {
        bool failed = false;
        if (common_option(walk, edit, true, failed)) {
            if (failed)
                return EXIT_USAGE;
        } else if (walk.is("--wipe")) {
            wipe = true;
        } else if (!walk.image(edit.image)) {
            return EXIT_USAGE;
        }
    }
    if (!edit.image || edit.slots.empty()) {
        walk.missing("IMAGE and --slot N");
        return EXIT_USAGE;
    }
    return run_edit(
        edit, {}, [&](const files::DiscValue& disc) { return files::remove_files(disc, edit.slots, wipe, edit.force); },
        out, err);
}

int run_rename(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    EditArgs edit;
    std::vector<std::string> rest = args;
    edit.json = take_option(rest, {"--json"});
    ArgWalker walk("rename", rest, err);
    std::optional<std::string> name;
    while (walk.next()) {
        bool failed = false;
        if (common_option(walk, edit, false, failed)) {
            if (failed)
                return EXIT_USAGE;
        } else if (!edit.image) {
            if (!walk.image(edit.image))
                return EXIT_USAGE;
        } else if (!walk.is_operand()) {
            walk.unknown_option();
            return EXIT_USAGE;
        } else if (name) {
            return usage_error(err, "rename takes one NEWNAME");
        } else {
            name = walk.arg();
        }
    }
    if (!edit.image || edit.slots.empty() || !name) {
        walk.missing("IMAGE, --slot N and NEWNAME");
        return EXIT_USAGE;
    }
    return run_edit(
        edit, {},
        [&](const files::DiscValue& disc) { return files::rename_file(disc, edit.slots.front(), *name, edit.force); },
        out, err);
}

int run_attr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    EditArgs edit;
    std::vector<std::string> rest = args;
    edit.json = take_option(rest, {"--json"});
    ArgWalker walk("attr", rest, err);
    files::FlagChange hidden = files::FlagChange::Keep;
    files::FlagChange protect = files::FlagChange::Keep;
    while (walk.next()) {
        bool failed = false;
        const std::string& arg = walk.arg();
        const bool is_flag = walk.is("+h") || walk.is("-h") || walk.is("+p") || walk.is("-p");
        if (common_option(walk, edit, false, failed)) {
            if (failed)
                return EXIT_USAGE;
        } else if (is_flag) {
            auto& target = arg[1] == 'h' ? hidden : protect;
            if (target != files::FlagChange::Keep)
                return usage_error(err, std::string("attr takes one of +") + arg[1] + " and -" + arg[1]);
            target = arg[0] == '+' ? files::FlagChange::Set : files::FlagChange::Clear;
        } else if (arg.size() == 2 && arg[0] == '+') {
            return usage_error(err, "unknown flag '" + arg + "' (attr takes +h, -h, +p and -p)");
        } else if (!walk.image(edit.image)) {
            return EXIT_USAGE;
        }
    }
    if (!edit.image || edit.slots.empty()) {
        walk.missing("IMAGE and --slot N");
        return EXIT_USAGE;
    }
    if (hidden == files::FlagChange::Keep && protect == files::FlagChange::Keep)
        return usage_error(err, "attr needs +h, -h, +p or -p");
    return run_edit(
        edit, {},
        [&](const files::DiscValue& disc) { return files::set_flags(disc, edit.slots.front(), hidden, protect); }, out,
        err);
}

} // namespace cli
