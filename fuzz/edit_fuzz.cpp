// Fuzz target: the disc edits on a hostile disc with a hostile host file. The input is a two-byte length (high
// byte first) and that many bytes of a host file, then an image input as fuzz_support.h describes. The host file
// is read as a tape, a .z80, a .sna and a ZX or SAM code file (the snapshot readers have a target of their own)
// (files_from_bytes, under names of those extensions), and each disc file it gives is added; then the listed files
// are removed, renamed and flagged. Nothing is written to a file: the image is read from memory as a raw image.
// Besides the sanitizers it checks what the edits promise: every edit done passes verify_edit against the disc it
// started from, stays a whole disc in the same layout, says one line per file and names the slots it changed. The
// operations run verify_edit themselves, given the disc's scan_disc, worked out once per input; the first edit done
// of an input is checked again by verify_edit working out the disc before on its own, so that the two agree.
#include "fuzz_support.h"

#include "common/bytes.h"
#include "files/disc_edit.h"
#include "image/directory.h"

#include <variant>

namespace {

void check(const files::DiscValue& before, const files::EditOutcome& outcome, std::size_t files_named,
           bool& checked_alone)
{
    const auto* edited = std::get_if<files::Edited>(&outcome);
    if (edited == nullptr) {
        fuzz::require(!std::get<std::string>(outcome).empty(), "a refusal says why");
        return;
    }
    fuzz::require(edited->disc.bytes.size() == before.bytes.size(), "an edit keeps a whole disc");
    fuzz::require(edited->disc.layout == before.layout, "an edit keeps the layout");
    fuzz::require(edited->changed_slots.size() == files_named && edited->lines.size() == files_named,
                  "one slot and one line per file");
    if (!checked_alone) {
        checked_alone = true;
        fuzz::require(!files::verify_edit(before, edited->disc, edited->changed_slots),
                      "an edit done passes its check");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    if (input.size() < 2)
        return 0;
    const std::size_t host_size = std::min<std::size_t>(common::get_be16(input, 0), input.size() - 2);
    const auto host = input.subspan(2, host_size);
    const auto image_input = input.subspan(2 + host_size);

    const fuzz::FuzzImage img = fuzz::make_image(image_input, "edit", false);
    image::RawImage source(std::make_unique<image::MemoryBytes>(std::vector(img.bytes.begin(), img.bytes.end())),
                           img.layout);
    auto value = files::read_disc_value(source, img.layout);
    if (!std::holds_alternative<files::DiscValue>(value))
        return 0;
    const files::DiscValue& disc = std::get<files::DiscValue>(value);
    const files::DiscScan scanned = files::scan_disc(disc);
    bool checked_alone = false;

    const bool sam = (img.selector & fuzz::selector::OPTION) != 0;
    for (const char* name : {"host.tap", "host.tzx", "host.z80", "host.sna", "host.bin"}) {
        files::AddOptions options;
        if (std::string_view(name) == "host.bin") {
            options.sam = sam;
            options.start = host.empty() ? 16384U : static_cast<std::uint32_t>(host[0]) << 11;
        }
        const auto made = files::files_from_bytes(name, host, options);
        if (const auto* found = std::get_if<files::FilesToAdd>(&made))
            check(disc, files::add_files(disc, found->files, found->overflow, &scanned), found->files.size(),
                  checked_alone);
    }

    std::vector<int> slots;
    for (const image::CatalogueRow& row : image::read_directory(source))
        slots.push_back(row.slot);
    if (slots.size() > 3)
        slots.resize(3);
    const bool force = (img.selector & fuzz::selector::RANDOM_FILL) != 0;
    for (const bool wipe : {false, true})
        check(disc, files::remove_files(disc, slots, wipe, force, &scanned), slots.size(), checked_alone);
    for (const int slot : slots) {
        const std::string name(host.begin(),
                               host.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(host.size(), 12)));
        check(disc, files::rename_file(disc, slot, name, force, &scanned), 1, checked_alone);
        check(disc, files::set_flags(disc, slot, files::FlagChange::Set, files::FlagChange::Clear, &scanned), 1,
              checked_alone);
    }
    return 0;
}
