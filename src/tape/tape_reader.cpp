#include "tape/tape_reader.h"

#include "common/bytes.h"
#include "common/number_text.h"
#include "image/disc_writer.h"
#include "image/image_kinds.h"
#include "tape/tap_writer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace tape {
namespace {

constexpr std::string_view TZX_SIGNATURE = "ZXTape!\x1A";
constexpr std::size_t TZX_HEADER_SIZE = 10; // signature, major and minor version
constexpr std::size_t TAP_LENGTH_SIZE = 2;
constexpr std::uint8_t HEADER_FLAG = 0x00;
// A header block: flag, 17 header bytes, checksum.
constexpr std::size_t HEADER_BLOCK_SIZE = image::TAPE_HEADER_SIZE + 1;
// A block needs its flag and its checksum byte.
constexpr std::size_t MIN_BLOCK_SIZE = 2;
constexpr char FIRST_SHOWN = ' ';
constexpr char LAST_SHOWN = '~';

enum class BlockKind
{
    Standard, // a .tap block, the same in a TZX standard-speed block
    Silent,   // information, pauses, tones and flow control: nothing to read and nothing lost
    Reported, // data a standard loader cannot read
};

// The size of a TZX block after its ID byte: `fixed` bytes, then `multiplier` times the little-endian number of
// `count_bytes` bytes at `count_at` (within the fixed part).
struct TzxBlockType
{
    std::uint8_t id;
    BlockKind kind;
    const char* what;
    std::size_t fixed;
    std::size_t count_at = 0;
    std::size_t count_bytes = 0;
    std::size_t multiplier = 1;
};

constexpr std::uint8_t TZX_STANDARD = 0x10;
// A block that starts with its length, a number of `length_bytes` bytes; `multiplier` bytes follow for each unit.
constexpr TzxBlockType length_first(std::uint8_t id, BlockKind kind, const char* what, std::size_t length_bytes,
                                    std::size_t multiplier = 1)
{
    return {id, kind, what, length_bytes, 0, length_bytes, multiplier};
}

// Blocks of an ID not in the table start with a four-byte length, as the TZX format lays down for new types.
constexpr TzxBlockType TZX_UNKNOWN = length_first(0x00, BlockKind::Reported, "", 4);

constexpr std::array<TzxBlockType, 28> TZX_BLOCK_TYPES = {{
    {TZX_STANDARD, BlockKind::Standard, "standard speed data", 4, 2, 2},
    {0x11, BlockKind::Reported, "turbo speed data", 0x12, 0x0F, 3},
    {0x12, BlockKind::Silent, "pure tone", 4},
    length_first(0x13, BlockKind::Silent, "pulse sequence", 1, 2),
    {0x14, BlockKind::Reported, "pure data", 0x0A, 0x07, 3},
    {0x15, BlockKind::Reported, "direct recording", 0x08, 0x05, 3},
    length_first(0x16, BlockKind::Reported, "C64 ROM data", 4),
    length_first(0x17, BlockKind::Reported, "C64 turbo data", 4),
    length_first(0x18, BlockKind::Reported, "CSW recording", 4),
    length_first(0x19, BlockKind::Reported, "generalized data", 4),
    {0x20, BlockKind::Silent, "pause", 2},
    length_first(0x21, BlockKind::Silent, "group start", 1),
    {0x22, BlockKind::Silent, "group end", 0},
    {0x23, BlockKind::Silent, "jump", 2},
    {0x24, BlockKind::Silent, "loop start", 2},
    {0x25, BlockKind::Silent, "loop end", 0},
    length_first(0x26, BlockKind::Silent, "call sequence", 2, 2),
    {0x27, BlockKind::Silent, "return", 0},
    length_first(0x28, BlockKind::Silent, "select block", 2),
    length_first(0x2A, BlockKind::Silent, "stop if 48K", 4),
    length_first(0x2B, BlockKind::Silent, "signal level", 4),
    length_first(0x30, BlockKind::Silent, "text description", 1),
    {0x31, BlockKind::Silent, "message", 2, 1, 1},
    length_first(0x32, BlockKind::Silent, "archive info", 2),
    length_first(0x33, BlockKind::Silent, "hardware type", 1, 3),
    {0x35, BlockKind::Silent, "custom info", 0x0E, 0x0A, 4},
    {0x40, BlockKind::Reported, "snapshot", 4, 1, 3},
    {0x5A, BlockKind::Silent, "glue", 9},
}};
// 0x34 (emulation info, eight bytes) is the one more informational type of the older format versions.
constexpr TzxBlockType TZX_EMULATION_INFO = {0x34, BlockKind::Silent, "emulation info", 8};

const TzxBlockType& tzx_block_type(std::uint8_t id)
{
    if (id == TZX_EMULATION_INFO.id)
        return TZX_EMULATION_INFO;
    const auto* found = std::find_if(TZX_BLOCK_TYPES.begin(), TZX_BLOCK_TYPES.end(),
                                     [id](const TzxBlockType& t) { return t.id == id; });
    return found == TZX_BLOCK_TYPES.end() ? TZX_UNKNOWN : *found;
}

std::string block_label(int number)
{
    return "block #" + std::to_string(number) + ": ";
}

// What a skipped block is, for one block and for several: "data block without a header".
struct ReasonWords
{
    const char* one;
    const char* several;
};
constexpr std::array<ReasonWords, SKIP_REASONS> REASON_WORDS = {{
    {"block too short to hold anything", "blocks too short to hold anything"},
    {"block neither a header nor a data block", "blocks neither a header nor a data block"},
    {"data block without a header", "data blocks without a header"},
    {"header without its data block", "headers without their data block"},
    {"header with a bad checksum", "headers with a bad checksum"},
    {"header of an unknown type", "headers of an unknown type"},
    {"data block of a header skipped before", "data blocks of headers skipped before"},
    {"data block with a bad checksum", "data blocks with a bad checksum"},
    {"data block of another length than its header says", "data blocks of another length than their header says"},
    {"block a standard loader cannot read", "blocks a standard loader cannot read"},
    {"block of an unknown TZX type", "blocks of an unknown TZX type"},
    {"block cut off by the end of the tape", "blocks cut off by the end of the tape"},
}};

// "3 headers with a bad checksum", or with `more` after the number.
std::string count_of(std::size_t n, SkipReason reason, std::string_view more = "")
{
    const ReasonWords& words = REASON_WORDS[static_cast<std::size_t>(reason)];
    return counted(n).append(" ").append(more).append(n == 1 ? words.one : words.several);
}

// Pairs headers with their data blocks as the blocks come, and keeps the files (as many as a disc holds) and the
// problems (a line for the first few).
class Pairer
{
public:
    explicit Pairer(TapeContents& out) : m_out(out) {}

    void standard_block(int number, std::span<const std::uint8_t> block)
    {
        if (block.size() < MIN_BLOCK_SIZE) {
            drop_pending();
            problem(SkipReason::TooShort, number,
                    [&] { return "block of " + std::to_string(block.size()) + " bytes, too short to hold anything"; });
            return;
        }
        const bool checksum_ok = xor_checksum(block) == 0;
        const std::uint8_t flag = block.front();
        if (flag == HEADER_FLAG && block.size() == HEADER_BLOCK_SIZE) {
            header_block(number, block, checksum_ok);
        } else if (flag == DATA_FLAG) {
            data_block(number, block.subspan(1, block.size() - MIN_BLOCK_SIZE), checksum_ok);
        } else {
            drop_pending();
            problem(SkipReason::NeitherHeaderNorData, number, [&] {
                return "flag " + common::hex(flag, common::BYTE_DIGITS) + " on a block of " +
                       std::to_string(block.size()) + " bytes: neither a header nor a data block";
            });
        }
    }

    // A block that carries data no standard loader reads (`type` names it); a header waiting for its data loses it.
    void unreadable_block(int number, const TzxBlockType& type, std::uint8_t id)
    {
        drop_pending();
        if (&type == &TZX_UNKNOWN)
            problem(SkipReason::UnknownTzxBlock, number,
                    [&] { return "unknown block type " + common::hex(id, common::BYTE_DIGITS); });
        else
            problem(SkipReason::Unreadable, number, [&] { return std::string(type.what) + " block"; });
    }

    // A block that runs past the end of the input, which ends the reading.
    void cut_off(int number, std::uint64_t needed, std::size_t left)
    {
        drop_pending();
        problem(SkipReason::CutOff, number, [&] {
            return "cut off (" + std::to_string(needed) + " bytes announced, " + std::to_string(left) +
                   " left); the rest of the tape is not read";
        });
    }

    void end() { drop_pending(); }

private:
    struct Pending
    {
        image::TapeHeader header{};
        int number = 0;
        bool usable = true; // false: the header was bad, its data goes with it
    };

    void header_block(int number, std::span<const std::uint8_t> block, bool checksum_ok)
    {
        drop_pending();
        Pending p;
        std::copy_n(block.begin(), image::TAPE_HEADER_SIZE, p.header.begin());
        p.number = number;
        const std::uint8_t type = p.header[image::tape_header::TYPE];
        if (!checksum_ok) {
            problem(SkipReason::HeaderChecksum, number,
                    [&] { return quoted(p.header) + "header with a bad checksum"; });
            p.usable = false;
        } else if (type > image::TAPE_BYTES) {
            problem(SkipReason::UnknownType, number,
                    [&] { return quoted(p.header) + "header of unknown type " + std::to_string(type); });
            p.usable = false;
        }
        m_pending = p;
    }

    void data_block(int number, std::span<const std::uint8_t> data, bool checksum_ok)
    {
        if (!m_pending) {
            problem(SkipReason::NoHeader, number, [&] {
                return "data block without a header (" + std::to_string(data.size()) +
                       (data.size() == 1 ? " byte)" : " bytes)");
            });
            return;
        }
        const Pending p = *m_pending;
        m_pending.reset();
        const std::size_t expected = common::get_le16(p.header, image::tape_header::LENGTH);
        if (!p.usable) {
            problem(SkipReason::HeaderSkipped, number,
                    [&] { return quoted(p.header) + "data of a header skipped before"; });
        } else if (!checksum_ok) {
            problem(SkipReason::DataChecksum, number, [&] { return quoted(p.header) + "data with a bad checksum"; });
        } else if (data.size() != expected) {
            problem(SkipReason::WrongLength, number, [&] {
                return quoted(p.header) + "data of " + std::to_string(data.size()) + " bytes, the header says " +
                       std::to_string(expected);
            });
        } else {
            file(p, data);
        }
    }

    // Keeps the file while the files so far fit one disc; from the first that does not, counts instead.
    void file(const Pending& p, std::span<const std::uint8_t> data)
    {
        const auto sectors = image::sectors_for(image::FILE_HEADER_SIZE + data.size());
        if (m_out.files_beyond == 0 && m_out.files.size() < static_cast<std::size_t>(image::DIRECTORY_SLOTS) &&
            m_sectors + sectors <= static_cast<std::size_t>(image::DATA_SECTORS)) {
            m_out.files.push_back({p.header, std::vector<std::uint8_t>(data.begin(), data.end()), p.number});
            m_sectors += sectors;
        } else {
            ++m_out.files_beyond;
            m_out.sectors_beyond += sectors;
        }
    }

    void drop_pending()
    {
        if (m_pending && m_pending->usable)
            problem(SkipReason::NoData, m_pending->number,
                    [&] { return quoted(m_pending->header) + "header without its data block"; });
        m_pending.reset();
    }

    // Counts a skipped block; the line is built only for the first few.
    template <typename Text> void problem(SkipReason reason, int number, const Text& what)
    {
        const auto r = static_cast<std::size_t>(reason);
        ++m_out.skipped[r];
        if (m_out.problems.size() < MAX_LISTED_BLOCKS) {
            // A block cut off ends the reading, which its line says instead.
            m_out.problems.push_back(block_label(number) + what() + (reason == SkipReason::CutOff ? "" : ", skipped"));
            ++m_out.listed[r];
        }
    }

    // Built by appending: GCC 12 at -O3 gives a false -Wrestrict warning on "\"" + std::string.
    static std::string quoted(const image::TapeHeader& header)
    {
        return std::string(1, '"').append(shown_name(header)).append("\": ");
    }

    TapeContents& m_out;
    std::optional<Pending> m_pending;
    std::size_t m_sectors = 0; // taken by the files kept
};

void read_tap(std::span<const std::uint8_t> bytes, Pairer& pairer)
{
    std::size_t at = 0;
    // Every turn consumes at least the two length bytes, so the walk ends within size / 2 turns.
    for (int number = 0; at < bytes.size(); ++number) {
        const std::size_t left = bytes.size() - at;
        if (left < TAP_LENGTH_SIZE) {
            pairer.cut_off(number, TAP_LENGTH_SIZE, left);
            break;
        }
        const std::size_t length = common::get_le16(bytes, at);
        if (length > left - TAP_LENGTH_SIZE) {
            pairer.cut_off(number, length, left - TAP_LENGTH_SIZE);
            break;
        }
        pairer.standard_block(number, bytes.subspan(at + TAP_LENGTH_SIZE, length));
        at += TAP_LENGTH_SIZE + length;
    }
}

void read_tzx(std::span<const std::uint8_t> bytes, Pairer& pairer)
{
    std::size_t at = TZX_HEADER_SIZE;
    // Every turn consumes at least the ID byte.
    for (int number = 0; at < bytes.size(); ++number) {
        const TzxBlockType& type = tzx_block_type(bytes[at]);
        const std::size_t left = bytes.size() - at - 1;
        const auto body = bytes.subspan(at + 1);
        if (type.fixed > left) {
            pairer.cut_off(number, type.fixed, left);
            break;
        }
        std::uint64_t count = 0;
        if (type.count_bytes == 2)
            count = common::get_le16(body, type.count_at);
        else if (type.count_bytes == 3)
            count = common::get_le24(body, type.count_at);
        else if (type.count_bytes == 4)
            count = common::get_le32(body, type.count_at);
        else if (type.count_bytes == 1)
            count = body[type.count_at];
        const std::uint64_t length = type.fixed + count * type.multiplier;
        if (length > left) {
            pairer.cut_off(number, length, left);
            break;
        }
        if (type.kind == BlockKind::Standard)
            pairer.standard_block(number, body.subspan(type.fixed, static_cast<std::size_t>(count)));
        else if (type.kind == BlockKind::Reported)
            pairer.unreadable_block(number, type, bytes[at]);
        at += 1 + static_cast<std::size_t>(length);
    }
}

} // namespace

std::size_t TapeContents::skipped_blocks() const
{
    std::size_t total = 0;
    for (const std::size_t n : skipped)
        total += n;
    return total;
}

std::vector<std::string> TapeContents::unlisted_lines() const
{
    std::vector<std::string> lines;
    for (std::size_t r = 0; r < SKIP_REASONS; ++r) {
        if (skipped[r] > listed[r])
            lines.push_back("... and " + count_of(skipped[r] - listed[r], static_cast<SkipReason>(r), "more "));
    }
    return lines;
}

std::string skipped_summary(const std::array<std::size_t, SKIP_REASONS>& skipped)
{
    std::string summary;
    for (std::size_t r = 0; r < SKIP_REASONS; ++r) {
        if (skipped[r] > 0)
            summary.append(summary.empty() ? "" : ", ").append(count_of(skipped[r], static_cast<SkipReason>(r)));
    }
    return summary;
}

bool is_tzx(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= TZX_SIGNATURE.size() &&
           std::equal(TZX_SIGNATURE.begin(), TZX_SIGNATURE.end(), bytes.begin(),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

std::optional<std::string> not_a_tape(std::span<const std::uint8_t> bytes)
{
    if (is_tzx(bytes))
        return std::nullopt;
    if (bytes.size() >= TAP_LENGTH_SIZE) {
        const std::size_t length = common::get_le16(bytes, 0);
        const auto block = bytes.subspan(TAP_LENGTH_SIZE);
        if (length >= MIN_BLOCK_SIZE && length <= block.size()) {
            const auto first = block.first(length);
            const std::uint8_t flag = first.front();
            if ((flag == HEADER_FLAG && length == HEADER_BLOCK_SIZE) || flag == DATA_FLAG || xor_checksum(first) == 0)
                return std::nullopt;
        }
    }
    std::string looks;
    if (bytes.empty())
        looks = "empty";
    else if (const image::ImageKind* kind = image::kind_signed_by(bytes))
        looks = kind->signed_as;
    else if (bytes.size() == static_cast<std::size_t>(image::IMAGE_BYTES))
        looks = counted(bytes.size()) + " bytes, a disc image's size";
    else
        looks = "no TZX signature, and no .tap block at its start";
    return "not a tape file (" + looks + ")";
}

TapeContents read_tape(std::span<const std::uint8_t> bytes)
{
    TapeContents out;
    Pairer pairer(out);
    if (!is_tzx(bytes)) {
        read_tap(bytes, pairer);
    } else if (bytes.size() < TZX_HEADER_SIZE) {
        out.problems.push_back("TZX header cut off after " + std::to_string(bytes.size()) + " bytes");
        ++out.skipped[static_cast<std::size_t>(SkipReason::CutOff)];
        ++out.listed[static_cast<std::size_t>(SkipReason::CutOff)];
    } else {
        read_tzx(bytes, pairer);
    }
    pairer.end();
    return out;
}

std::string shown_name(const image::TapeHeader& header)
{
    std::string name;
    for (std::size_t i = 0; i < image::tape_header::NAME.length; ++i) {
        const auto c = static_cast<char>(header[image::tape_header::NAME.at + i]);
        name += c >= FIRST_SHOWN && c <= LAST_SHOWN ? c : '?';
    }
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

std::string counted(std::size_t n)
{
    constexpr std::size_t GROUP = 3;
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > GROUP; at -= GROUP)
        digits.insert(at - GROUP, 1, ',');
    return digits;
}

} // namespace tape
