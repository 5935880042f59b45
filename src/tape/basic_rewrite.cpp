#include "tape/basic_rewrite.h"

#include <algorithm>
#include <array>

namespace tape {
namespace {

// The keywords looked for, as their tokens; CAT to VERIFY follow each other in the ROM's table.
enum Token : std::uint8_t
{
    THEN = 0xCB,
    CAT = 0xCF,
    FORMAT,
    MOVE,
    ERASE,
    OPEN_STREAM,
    CLOSE_STREAM,
    MERGE,
    VERIFY,
    LOAD = 0xEF,
    POKE = 0xF4,
    SAVE = 0xF8,
    CLEAR = 0xFD,
};
constexpr std::uint8_t BLANK = ' ';

// Positions relative to the keyword.
constexpr std::size_t SYNTAX = 1;        // first byte of the disc syntax
constexpr std::size_t CHANNEL_QUOTE = 2; // the quote in front of the channel letter
constexpr std::size_t NAME_SCAN = 2;     // where the search for the name of the drive form begins
// A string variable is a letter in front of the dollar sign; the letter stays.
constexpr std::size_t VARIABLE_LETTER = 1;

// The channel form as the disc system's manuals spell it: *"m"; then drive 1 or 2 as a stored number, SGN PI, or
// VAL "1", then the semicolon in front of the name. Numbers keep their digit byte: the stored value of pattern 2
// differs from pattern 1, its digit does not.
constexpr std::array<std::uint8_t, 13> CHANNEL_DRIVE_1 = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0x31, 0x0E,
                                                          0x00, 0x00, 0x01, 0x00, 0x00, 0x3B};
constexpr std::array<std::uint8_t, 13> CHANNEL_DRIVE_2 = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0x31, 0x0E,
                                                          0x00, 0x00, 0x02, 0x00, 0x00, 0x3B};
constexpr std::array<std::uint8_t, 8> CHANNEL_SGN_PI = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0xBC, 0xA7, 0x3B};
constexpr std::array<std::uint8_t, 10> CHANNEL_VAL_1 = {0x2A, 0x22, 0x6D, 0x22, 0x3B, 0xB0, 0x22, 0x31, 0x22, 0x3B};
constexpr std::array<std::span<const std::uint8_t>, 4> LOADER_PATTERNS = {CHANNEL_DRIVE_1, CHANNEL_DRIVE_2,
                                                                          CHANNEL_SGN_PI, CHANNEL_VAL_1};

bool is_keyword(std::uint8_t byte)
{
    return byte == LOAD || byte == SAVE;
}

// The letter of the drive form: LOAD d1"name".
bool is_drive_letter(std::uint8_t byte)
{
    return byte == 'd' || byte == 'D';
}

bool starts_with(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> pattern)
{
    return bytes.size() >= pattern.size() && std::equal(pattern.begin(), pattern.end(), bytes.begin());
}

} // namespace

int rewrite_basic_loader(std::span<std::uint8_t> program)
{
    const std::size_t length = program.size();
    int count = 0;
    std::size_t p = 0;
    // The last byte is never taken as a keyword: nothing could follow it.
    while (p + SYNTAX < length) {
        if (!is_keyword(program[p])) {
            ++p;
            continue;
        }
        const std::uint8_t syntax = program[p + SYNTAX];
        if (is_drive_letter(syntax)) {
            const auto rest = program.subspan(p + NAME_SCAN);
            const auto end = std::ranges::find_if(rest, [](std::uint8_t b) { return b == '"' || b == '$'; });
            if (end != rest.end()) {
                const std::size_t q = p + NAME_SCAN + static_cast<std::size_t>(end - rest.begin());
                const std::size_t blank_end = *end == '"' ? q : q - VARIABLE_LETTER;
                if (blank_end > p + SYNTAX)
                    std::ranges::fill(program.subspan(p + SYNTAX, blank_end - (p + SYNTAX)), BLANK);
                ++count;
                // The walk goes on after the quote or dollar sign; the sign itself is not looked at again.
                p = q;
            }
        } else if (syntax == '*' && p + CHANNEL_QUOTE < length && program[p + CHANNEL_QUOTE] == '"') {
            const auto rest = program.subspan(p + SYNTAX);
            for (const auto pattern : LOADER_PATTERNS) {
                if (starts_with(rest, pattern)) {
                    std::ranges::fill(rest.first(pattern.size()), BLANK);
                    ++count;
                    break;
                }
            }
        }
        ++p;
    }
    return count;
}

namespace {

constexpr std::uint8_t NUMBER_MARK = 0x0E;
constexpr std::size_t HIDDEN_NUMBER = 5;
constexpr std::uint8_t ENTER = 0x0D;
constexpr int MAX_LINE = 9999;
constexpr std::size_t LINE_HEADER = 4;

const char* keyword_text(std::uint8_t keyword)
{
    switch (keyword) {
    case CAT:
        return "CAT";
    case FORMAT:
        return "FORMAT";
    case MOVE:
        return "MOVE";
    case ERASE:
        return "ERASE";
    case OPEN_STREAM:
        return "OPEN #";
    case CLOSE_STREAM:
        return "CLOSE #";
    case MERGE:
        return "MERGE";
    case VERIFY:
        return "VERIFY";
    case POKE:
        return "POKE";
    case CLEAR:
        return "CLEAR";
    case LOAD:
        return "LOAD";
    case SAVE:
        return "SAVE";
    default:
        return "";
    }
}

bool is_digit(std::uint8_t b)
{
    return b >= '0' && b <= '9';
}

// The statement's tokens with strings and hidden numbers left out; blanks dropped.
std::vector<std::uint8_t> statement_tokens(std::span<const std::uint8_t> text)
{
    std::vector<std::uint8_t> out;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t b = text[i];
        if (b == '"') {
            in_string = !in_string;
            out.push_back(b);
        } else if (in_string) {
            continue;
        } else if (b == NUMBER_MARK) {
            i += HIDDEN_NUMBER;
        } else if (b != BLANK) {
            out.push_back(b);
        }
    }
    return out;
}

// The +D syntax of one statement (its tokens as statement_tokens gives them), or "".
std::string disc_only_form(std::span<const std::uint8_t> t)
{
    if (t.empty())
        return {};
    const std::uint8_t keyword = t[0];
    const std::uint8_t next = t.size() > 1 ? t[1] : 0;
    const std::uint8_t after = t.size() > 2 ? t[2] : 0;
    const std::string name = keyword_text(keyword);
    switch (keyword) {
    case CAT:
    case FORMAT:
    case MOVE:
    case ERASE:
        return name;
    case POKE:
        return next == '@' ? "POKE @" : "";
    case CLEAR:
        return next == '#' ? "CLEAR #" : "";
    case CLOSE_STREAM:
        // The keyword's own text ends in "#": the asterisk follows the token.
        return next == '*' ? "CLOSE #*" : "";
    case OPEN_STREAM:
        for (std::size_t i = 1; i + 2 < t.size(); ++i) {
            if (t[i] == ';' && is_drive_letter(t[i + 1]) && (is_digit(t[i + 2]) || t[i + 2] == '*'))
                return "OPEN # d";
        }
        return {};
    case LOAD:
    case SAVE:
    case VERIFY:
    case MERGE:
        if (next == '@')
            return name + " @";
        if (next == '*')
            return name + " *";
        if (is_drive_letter(next) && (is_digit(after) || after == '*'))
            return name + " d";
        if ((next == 'p' || next == 'P') && is_digit(after))
            return name + " p";
        return {};
    default:
        return {};
    }
}

} // namespace

std::vector<DiscOnlyStatement> find_disc_only_syntax(std::span<const std::uint8_t> program)
{
    std::vector<DiscOnlyStatement> found;
    std::size_t p = 0;
    while (p + LINE_HEADER <= program.size()) {
        const int number = program[p] << 8 | program[p + 1];
        const std::size_t length = program[p + 2] | static_cast<std::size_t>(program[p + 3]) << 8;
        if (number > MAX_LINE || length == 0 || length > program.size() - p - LINE_HEADER)
            break;
        auto text = program.subspan(p + LINE_HEADER, length);
        if (text.back() == ENTER)
            text = text.first(text.size() - 1);
        // Statements end at a colon or THEN outside strings; hidden numbers may hold any byte.
        int statement = 1;
        std::size_t start = 0;
        bool in_string = false;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            const bool end = i == text.size();
            const std::uint8_t b = end ? 0 : text[i];
            if (!end && b == '"') {
                in_string = !in_string;
                continue;
            }
            if (!end && (in_string || b != ':') && (in_string || b != THEN)) {
                if (!in_string && b == NUMBER_MARK)
                    i = std::min(i + HIDDEN_NUMBER, text.size() - 1);
                continue;
            }
            const auto tokens = statement_tokens(text.subspan(start, std::min(i, text.size()) - start));
            if (std::string form = disc_only_form(tokens); !form.empty())
                found.push_back({number, statement, std::move(form)});
            ++statement;
            start = std::min(i + 1, text.size());
        }
        p += LINE_HEADER + length;
    }
    return found;
}

std::string describe(const std::vector<DiscOnlyStatement>& statements)
{
    std::string text;
    for (const DiscOnlyStatement& s : statements) {
        if (!text.empty())
            text += ", ";
        text += "line " + std::to_string(s.line) + ":" + std::to_string(s.statement) + " " + s.what;
    }
    return text;
}

} // namespace tape
