#include "tape/convert.h"

#include "common/atomic_file.h"
#include "common/bytes.h"
#include "common/same_file.h"
#include "tape/basic_rewrite.h"
#include "tape/tap_writer.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tape {
namespace {

std::string cannot_write(const std::string& tape_path)
{
    return "Cannot write " + tape_path;
}

} // namespace

ConversionResult convert_files(image::SectorSource& disc, const std::string& image_path,
                               std::span<const SelectedRow> rows, bool rewrite_basic, const std::string& tape_path)
{
    // A tape over the image (or over the archive it lies in) would replace it.
    if (common::replaces_input(tape_path, image_path))
        return {{cannot_write(tape_path)}, 1, 0, "it is the image itself", {}, {}};
    common::AtomicFile tape(tape_path);
    if (!tape.is_open())
        return {{cannot_write(tape_path)}, 1, 0, tape.error_text(), {}, {}};
    return convert_files(disc, rows, rewrite_basic, tape);
}

ConversionResult convert_files(image::SectorSource& disc, std::span<const SelectedRow> rows, bool rewrite_basic,
                               common::AtomicFile& tape)
{
    ConversionResult result;
    std::vector<std::uint8_t> blocks;
    for (const SelectedRow& row : rows) {
        std::optional<image::Extracted> x = image::extract_file(disc, row.slot);
        if (!x) {
            result.lines.push_back(row.name + " not converted, error occured");
            ++result.failures;
            continue;
        }
        const std::uint8_t type = x->header[image::tape_header::TYPE];
        if (type == image::TAPE_PROGRAM && rewrite_basic) {
            const int changes = rewrite_basic_loader(x->data);
            result.lines.push_back(row.name + " syntax changes: " + std::to_string(changes));
            const std::size_t program_length = common::get_le16(x->header, image::tape_header::PARAM2);
            auto left = find_disc_only_syntax(
                std::span<const std::uint8_t>(x->data).first(std::min(program_length, x->data.size())));
            if (!left.empty())
                result.disc_only_loaders.push_back({row.name, std::move(left)});
        }
        // Screens and code carry tape type 3 like any bytes; other values have no tape form and are skipped.
        if (type <= image::TAPE_BYTES) {
            blocks.clear();
            write_tap_blocks(blocks, x->header, x->data);
            tape.write(blocks);
            ++result.written;
            if (!x->chain.complete())
                result.short_files.push_back({row.name, row.slot, x->chain});
        }
    }
    if (!tape.commit()) {
        result.lines.push_back(cannot_write(tape.path()));
        ++result.failures;
        result.written = 0;
        result.write_failure = tape.error_text();
        result.short_files.clear();
    }
    return result;
}

bool is_nonempty_file(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

} // namespace tape
