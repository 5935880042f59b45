#include "tape/convert.h"

#include "tape/basic_rewrite.h"
#include "tape/tap_writer.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tape {
namespace {

// A tape file open for one conversion. The first failed write is remembered and later writes are dropped, so
// one message can report the failure at the end.
class TapeFile
{
public:
    explicit TapeFile(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {}
    ~TapeFile()
    {
        if (m_file)
            std::fclose(m_file);
    }
    TapeFile(const TapeFile&) = delete;
    TapeFile& operator=(const TapeFile&) = delete;

    bool is_open() const { return m_file != nullptr; }

    void write(std::span<const std::uint8_t> bytes)
    {
        if (!m_failed && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
            m_failed = true;
    }

    // Closes the file; false when any write, or the final flush, failed.
    bool close()
    {
        const bool flushed = std::fclose(m_file) == 0;
        m_file = nullptr;
        return flushed && !m_failed;
    }

private:
    std::FILE* m_file;
    bool m_failed = false;
};

bool is_same_file(const std::string& a, const std::string& b)
{
    std::error_code ignored;
    return std::filesystem::equivalent(a, b, ignored);
}

std::string cannot_write(const std::string& tape_path)
{
    return "Cannot write " + tape_path;
}

} // namespace

ConversionResult convert_files(const std::string& image_path, image::Layout layout, std::span<const SelectedRow> rows,
                               bool rewrite_basic, const std::string& tape_path, Workspace& ws)
{
    // Creating the tape over the image would empty the image before a single file was read from it.
    if (is_same_file(image_path, tape_path))
        return {{cannot_write(tape_path)}, 1};
    TapeFile tape(tape_path);
    if (!tape.is_open())
        return {{cannot_write(tape_path)}, 1};

    ConversionResult result;
    std::vector<std::uint8_t> blocks;
    for (const SelectedRow& row : rows) {
        const std::int32_t length = extract_file(image_path, layout, row.slot, ws);
        if (length <= 0) {
            result.lines.push_back(row.name + " not converted, error occured");
            ++result.failures;
            continue;
        }
        const auto data = std::span<std::uint8_t>(ws.data).first(static_cast<std::size_t>(length));
        const std::uint8_t type = ws.header[header::TYPE];
        if (type == TAPE_PROGRAM && rewrite_basic) {
            const int changes = rewrite_basic_loader(data);
            result.lines.push_back(row.name + " syntax changes: " + std::to_string(changes));
        }
        // Screens and code carry tape type 3 like any bytes; other values have no tape form and are skipped.
        if (type <= TAPE_BYTES) {
            blocks.clear();
            write_tap_blocks(blocks, ws.header, data);
            tape.write(blocks);
            ++result.written;
        }
    }
    if (!tape.close()) {
        result.lines.push_back(cannot_write(tape_path));
        ++result.failures;
        result.written = 0;
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
