#include "basic/listing.h"

#include "basic/characters.h"
#include "basic/keyword_match.h"
#include "basic/numbers.h"
#include "common/bytes.h"
#include "common/number_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <vector>

namespace basic {
namespace {

// Offsets within a line.
namespace line {
constexpr std::size_t NUMBER = 0;
constexpr std::size_t LENGTH = 2;
constexpr std::size_t TEXT = LINE_HEADER;
} // namespace line

constexpr std::size_t NUMBER_WIDTH = 5;

constexpr std::uint8_t FIRST_CONTROL = 0x10; // INK; PAPER, FLASH, BRIGHT, INVERSE, OVER follow
constexpr std::uint8_t AT_CONTROL = 0x16;
constexpr std::uint8_t TAB_CONTROL = 0x17;
constexpr std::uint8_t FIRST_BLOCK_GRAPHIC = 0x80;
constexpr std::uint8_t FIRST_UDG = 0x90;
constexpr std::uint8_t FIRST_KEYWORD_128K = 0xA3; // SPECTRUM and PLAY, UDGs T and U inside strings
constexpr std::uint8_t FIRST_KEYWORD = 0xA5;
constexpr std::uint8_t FIRST_COMMAND_KEYWORD = 0xC5; // OR: from here on, keywords may take a leading blank
constexpr std::uint8_t FIRST_SPACED_FUNCTION = 0xA8; // FN: RND, INKEY$ and PI never take a trailing blank
constexpr std::uint8_t REM = 0xEA;

constexpr std::array<std::string_view, 0x100 - FIRST_KEYWORD_128K> KEYWORDS = {
    "SPECTRUM", "PLAY",   "RND",   "INKEY$", "PI",     "FN",     "POINT",     "SCREEN$", "ATTR",    "AT",
    "TAB",      "VAL$",   "CODE",  "VAL",    "LEN",    "SIN",    "COS",       "TAN",     "ASN",     "ACS",
    "ATN",      "LN",     "EXP",   "INT",    "SQR",    "SGN",    "ABS",       "PEEK",    "IN",      "USR",
    "STR$",     "CHR$",   "NOT",   "BIN",    "OR",     "AND",    "<=",        ">=",      "<>",      "LINE",
    "THEN",     "TO",     "STEP",  "DEF FN", "CAT",    "FORMAT", "MOVE",      "ERASE",   "OPEN #",  "CLOSE #",
    "MERGE",    "VERIFY", "BEEP",  "CIRCLE", "INK",    "PAPER",  "FLASH",     "BRIGHT",  "INVERSE", "OVER",
    "OUT",      "LPRINT", "LLIST", "STOP",   "READ",   "DATA",   "RESTORE",   "NEW",     "BORDER",  "CONTINUE",
    "DIM",      "REM",    "FOR",   "GO TO",  "GO SUB", "INPUT",  "LOAD",      "LIST",    "LET",     "PAUSE",
    "NEXT",     "POKE",   "PRINT", "PLOT",   "RUN",    "SAVE",   "RANDOMIZE", "IF",      "CLS",     "DRAW",
    "CLEAR",    "RETURN", "COPY",
};

constexpr std::array<std::string_view, AT_CONTROL - FIRST_CONTROL> COLOUR_CONTROLS = {"INK",    "PAPER",   "FLASH",
                                                                                      "BRIGHT", "INVERSE", "OVER"};

// A block graphic's quarter pixels: bit 0 top right, bit 1 top left, bit 2 bottom right, bit 3 bottom left. Each
// half is written as one character indexed by its top bit and its bottom bit (times two).
constexpr std::string_view HALF_BLOCKS = " '.:";
constexpr unsigned TOP_RIGHT = 0x01, TOP_LEFT = 0x02, BOTTOM_RIGHT = 0x04, BOTTOM_LEFT = 0x08;

bool is_letter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// The ROM's spacing: a keyword from OR on (and the 128K commands) takes a blank in front when it begins with a
// letter, unless a blank was just printed; one that ends in a letter or '$' takes a blank after it, except the
// three functions without an argument.
bool has_leading_blank(std::uint8_t token, std::string_view name)
{
    return (token >= FIRST_COMMAND_KEYWORD || token < FIRST_KEYWORD) && is_letter(name.front());
}

bool has_trailing_blank(std::uint8_t token, std::string_view name)
{
    return (token >= FIRST_SPACED_FUNCTION || token < FIRST_KEYWORD) && (is_letter(name.back()) || name.back() == '$');
}

// Writes one control code with the parameter bytes the text still holds and returns how many it took.
std::size_t append_control(std::string& out, std::uint8_t code, std::span<const std::uint8_t> rest)
{
    const std::size_t wanted = code >= AT_CONTROL ? 2 : 1;
    const std::size_t taken = std::min(wanted, rest.size());
    out += "\\{";
    if (code < AT_CONTROL)
        out += COLOUR_CONTROLS[code - FIRST_CONTROL];
    else
        out += code == AT_CONTROL ? "AT" : "TAB";
    for (std::size_t i = 0; i < taken; ++i) {
        out += i == 0 ? ' ' : ',';
        out += std::to_string(rest[i]);
    }
    out += '}';
    return taken;
}

// A byte below the keywords as the listing writes it: ASCII (with its escapes), a block graphic or a UDG.
void append_character(std::string& out, std::uint8_t b, bool in_string)
{
    if (b == BACKSLASH) {
        out += "\\\\";
    } else if (b == COPYRIGHT) {
        out += "\\*";
    } else if (b < FIRST_BLOCK_GRAPHIC) {
        out += static_cast<char>(b);
    } else if (b < FIRST_UDG) {
        const unsigned bits = b - FIRST_BLOCK_GRAPHIC;
        out += '\\';
        out += HALF_BLOCKS[((bits & TOP_LEFT) ? 1 : 0) + ((bits & BOTTOM_LEFT) ? 2 : 0)];
        out += HALF_BLOCKS[((bits & TOP_RIGHT) ? 1 : 0) + ((bits & BOTTOM_RIGHT) ? 2 : 0)];
    } else if (b < FIRST_KEYWORD_128K || in_string) {
        out += '\\';
        out += static_cast<char>('a' + (b - FIRST_UDG));
    }
}

std::string numbered(std::uint16_t number, std::string_view text)
{
    std::string digits = std::to_string(number);
    std::string out(NUMBER_WIDTH - std::min(NUMBER_WIDTH, digits.size()), ' ');
    out += digits;
    out += text;
    return out;
}

std::string count_text(std::size_t count, std::string_view unit)
{
    return std::to_string(count) + " " + std::string(unit) + (count == 1 ? "" : "s");
}

} // namespace

std::string_view zx_keyword(std::uint8_t token)
{
    return token >= FIRST_KEYWORD_128K ? KEYWORDS[token - FIRST_KEYWORD_128K] : std::string_view{};
}

bool zx_leading_blank(std::uint8_t token)
{
    return token >= FIRST_KEYWORD_128K && has_leading_blank(token, KEYWORDS[token - FIRST_KEYWORD_128K]);
}

bool zx_trailing_blank(std::uint8_t token)
{
    return token >= FIRST_KEYWORD_128K && has_trailing_blank(token, KEYWORDS[token - FIRST_KEYWORD_128K]);
}

std::string damage_mark(const Damage& damage)
{
    return "** damage at byte " + std::to_string(damage.offset) + ": " + damage.reason;
}

// A ZX line as it is listed, byte by byte.
struct ZxLine
{
    std::string out;
    // A line starts as if a character had been printed, so its first keyword takes its leading blank.
    bool blank_allowed = true;
    bool in_string = false;
    bool in_rem = false;
    std::uint8_t last = 0; // the last byte listed as text (0 after a keyword), as the tokeniser sees it
    NumberSpotter numbers{Machine::Zx};
    std::vector<std::size_t> word_starts;
    // Where text would join the name of RND or PI just written ("PIx" reads as a name): a letter or '$', or a
    // keyword without a leading blank, written there is written as its byte instead; so is such a keyword after a
    // character of a name ("xRND").
    std::size_t joins_at = std::string::npos;
};

// A keyword token listed: its name with the blanks it takes, or its byte where its name would run into a name.
// Returns whether a keyword after it may take its leading blank.
bool list_keyword(ZxLine& line, std::uint8_t b, bool joins)
{
    const std::string_view name = KEYWORDS[b - FIRST_KEYWORD_128K];
    const bool leading = line.blank_allowed && has_leading_blank(b, name);
    if (!leading && is_letter(name.front()) && !line.in_string && !line.in_rem &&
        (joins || continues_name(line.last))) {
        line.out += "\\{" + common::hex(b, common::BYTE_DIGITS) + "}";
        line.numbers.parameter(b);
        line.last = b;
        return true;
    }
    if (leading)
        line.out += ' ';
    line.out += name;
    const bool trailing = has_trailing_blank(b, name);
    if (trailing)
        line.out += ' ';
    else if (is_letter(name.back()))
        line.joins_at = line.out.size();
    line.in_rem = line.in_rem || (b == REM && !line.in_string); // a REM token inside a string starts no REM
    // Inside a string a keyword reads back as the letters of its name, which start no disc statement.
    if (line.in_string)
        line.numbers.parameter(static_cast<std::uint8_t>(name.back()));
    else
        line.numbers.keyword(b);
    line.last = 0;
    return !trailing;
}

std::string line_text(std::span<const std::uint8_t> text)
{
    ZxLine line;
    line.out.reserve(text.size() * 2);
    const std::vector<EditorBytes> editor = editor_bytes(text, Machine::Zx);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t b = text[i];
        const bool joins = line.out.size() == line.joins_at && !line.in_string && !line.in_rem;
        if (b == NUMBER_MARK) {
            // The bytes the editor puts after a DEF FN parameter are left line.out as it writes them.
            const std::string mark = line.numbers.mark(text, i, !line.in_string && !line.in_rem);
            if (!editor_default(editor, text, i))
                line.out += mark;
            i += std::min(HIDDEN_NUMBER, text.size() - i - 1);
            continue;
        }
        if (b >= FIRST_CONTROL && b <= TAB_CONTROL) {
            const std::size_t taken = append_control(line.out, b, text.subspan(i + 1));
            for (std::size_t k = 0; k <= taken; ++k)
                line.numbers.parameter(text[i + k]);
            i += taken;
            line.last = text[i];
            line.blank_allowed = true;
            continue;
        }
        if (b < FIRST_PRINTABLE) {
            line.out += "\\{";
            line.out += common::hex(b, common::BYTE_DIGITS);
            line.out += '}';
            line.numbers.character(text, i, false);
            line.last = b;
            line.blank_allowed = true;
            continue;
        }
        bool next_blank_allowed = true;
        if (b >= FIRST_KEYWORD_128K && !(b < FIRST_KEYWORD && line.in_string)) {
            next_blank_allowed = list_keyword(line, b, joins);
        } else {
            // A line whose text starts with a digit has that digit escaped, so that it does not read as part of
            // the line number (and starts no number's text).
            const bool first_digit = i == 0 && std::isdigit(b) != 0;
            if (line.numbers.character(text, i, !line.in_string && !line.in_rem && !first_digit) || first_digit ||
                (joins && (is_letter(static_cast<char>(b)) || b == '$'))) {
                line.out += "\\{" + common::hex(b, common::BYTE_DIGITS) + "}";
            } else {
                // A keyword may start here for the tokeniser when neither the byte nor the text before continues
                // a name ("PIR" reads as letters after PI).
                if (is_letter(static_cast<char>(b)) && !line.in_string && !line.in_rem && !continues_name(line.last) &&
                    !(line.last == 0 && !line.out.empty() &&
                      continues_name(static_cast<std::uint8_t>(line.out.back()))))
                    line.word_starts.push_back(line.out.size());
                append_character(line.out, b, line.in_string);
            }
            // Quotes inside a REM do not open strings.
            if (b == QUOTE && !line.in_rem)
                line.in_string = !line.in_string;
            next_blank_allowed = b != BLANK;
            line.last = b;
        }
        line.blank_allowed = next_blank_allowed;
    }
    escape_keyword_lookalikes(line.out, line.word_starts, Machine::Zx);
    return line.out;
}

Listing list_program(std::span<const std::uint8_t> data, std::size_t program_length, const Dialect& dialect)
{
    Listing listing;
    const bool short_data = program_length > data.size();
    const std::string_view limit = short_data ? "data" : "program";
    const std::size_t end = std::min(program_length, data.size());
    std::size_t at = 0;
    bool ended = false;
    // Each line takes at least its header, so the walk ends within end / LINE_HEADER steps.
    while (at < end) {
        if (dialect.end_marker && data[at + line::NUMBER] == *dialect.end_marker) {
            ended = true;
            break;
        }
        if (end - at < line::TEXT) {
            listing.damage = Damage{at, "line header cut off by the end of the " + std::string(limit) + " (" +
                                            count_text(end - at, "byte") + " left)"};
            break;
        }
        const std::uint16_t number = common::get_be16(data, at + line::NUMBER);
        if (number > dialect.max_line_number) {
            listing.damage = Damage{at, "line number " + std::to_string(number) + " is above " +
                                            std::to_string(dialect.max_line_number)};
            break;
        }
        const std::size_t length = common::get_le16(data, at + line::LENGTH);
        const std::size_t text_at = at + line::TEXT;
        const std::size_t room = end - text_at;
        if (length > room) {
            listing.lines.push_back(numbered(number, dialect.line_text(data.subspan(text_at, room))));
            listing.numbers.push_back(number);
            listing.damage = Damage{at + line::LENGTH, "line " + std::to_string(number) + " claims " +
                                                           count_text(length, "byte") + ", the " + std::string(limit) +
                                                           " holds " + std::to_string(room) + " more"};
            break;
        }
        const auto bytes = data.subspan(text_at, length);
        if (length == 0 || bytes.back() != ENTER) {
            listing.lines.push_back(numbered(number, dialect.line_text(bytes)));
            listing.numbers.push_back(number);
            listing.damage = Damage{text_at + length - (length == 0 ? 0 : 1),
                                    "line " + std::to_string(number) + " does not end in ENTER"};
            break;
        }
        listing.lines.push_back(numbered(number, dialect.line_text(bytes.first(length - 1))));
        listing.numbers.push_back(number);
        at = text_at + length;
    }
    if (!listing.damage && short_data)
        listing.damage = Damage{data.size(), "the program length " + std::to_string(program_length) +
                                                 " is larger than the " + count_text(data.size(), "byte") + " of data"};
    if (!listing.damage && dialect.end_marker && !ended)
        listing.damage = Damage{end, "the program has no end marker (" +
                                         common::hex(*dialect.end_marker, common::BYTE_DIGITS) + ")"};
    if (listing.damage)
        listing.lines.push_back(damage_mark(*listing.damage));
    return listing;
}

} // namespace basic
