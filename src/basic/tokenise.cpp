#include "basic/tokenise.h"

#include "basic/characters.h"
#include "basic/keyword_match.h"
#include "basic/listing.h"
#include "basic/sam_listing.h"
#include "common/number_text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace basic {
namespace {

constexpr std::uint8_t ZX_REM = 0xEA;
constexpr std::uint8_t SAM_REM = 0xB7;
constexpr std::uint8_t SAM_THEN = 0x8D;
constexpr std::uint8_t SAM_LONG_IF = 0xD7;   // IF without THEN: the block form; 0xD8 with THEN
constexpr std::uint8_t SAM_LONG_ELSE = 0xD9; // 0xDA after a short IF
constexpr std::uint8_t POUND = 0x60;
constexpr std::uint8_t FIRST_BLOCK_GRAPHIC = 0x80;
constexpr std::uint8_t FIRST_UDG = 0x90;
constexpr char LAST_UDG_LETTER = 'u';
constexpr std::uint8_t FIRST_CONTROL = 0x10;
constexpr std::uint8_t AT_CONTROL = 0x16;
constexpr std::array<std::string_view, 8> CONTROLS = {"INK",     "PAPER", "FLASH", "BRIGHT",
                                                      "INVERSE", "OVER",  "AT",    "TAB"};
constexpr std::string_view HALF_BLOCKS = " '.:";
constexpr std::string_view SAM_NO_BLANK_BEFORE = ":;,)";
constexpr std::size_t MAX_LINE_BYTES = 0xFFFF;
// UTF-8 of the two signs a PC's text may hold where the machine has its own code.
constexpr std::uint8_t UTF8_LEAD = 0xC2, UTF8_POUND = 0xA3, UTF8_COPYRIGHT = 0xA9;

std::string byte_text(std::uint8_t b)
{
    return common::hex(b, common::BYTE_DIGITS);
}

std::optional<std::uint8_t> hex_byte(std::string_view text)
{
    if (text.size() != 4 || !text.starts_with("0x"))
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text.substr(2)) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<std::uint8_t> decimal_byte(std::string_view text)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int value = std::stoi(std::string(text));
    return value > 0xFF ? std::nullopt : std::optional<std::uint8_t>(static_cast<std::uint8_t>(value));
}

// One line's text after its number, read left to right with the listing's state, so that each blank the
// listing adds is recognised and left out.
class LineTokeniser
{
public:
    LineTokeniser(std::string_view text, Machine machine, std::size_t column = 0)
        : m_text(text), m_machine(machine), m_column(column)
    {}

    std::string run()
    {
        while (m_at < m_text.size() && m_error.empty()) {
            const char c = m_text[m_at];
            if (c == '\\')
                escape();
            else if (m_in_string || m_in_rem || c == '"')
                plain();
            else if (c == ' ' || c == '\t')
                blank();
            else if (!word() && !number())
                plain();
        }
        if (m_machine == Machine::Sam)
            mark_short_ifs();
        add_editor_bytes();
        return m_error;
    }

    std::vector<std::uint8_t> take() { return std::move(m_out); }

private:
    std::string_view rest() const { return m_text.substr(m_at); }

    void raw(std::uint8_t b)
    {
        m_out.push_back(b);
        if (b == QUOTE && !m_in_rem)
            m_in_string = !m_in_string;
        if (b == ':' && !m_in_string && !m_in_rem)
            m_file_statement = false;
        m_before_last = m_last;
        m_last = b;
        m_blank_allowed = b != BLANK;
    }

    void fail(std::string reason)
    {
        if (m_error.empty())
            m_error = "at column " + std::to_string(m_column + m_at + 1) + ": " + std::move(reason);
    }

    void plain()
    {
        const auto c = static_cast<std::uint8_t>(m_text[m_at]);
        if (c == UTF8_LEAD && m_at + 1 < m_text.size()) {
            const auto next = static_cast<std::uint8_t>(m_text[m_at + 1]);
            if (next == UTF8_POUND || next == UTF8_COPYRIGHT) {
                raw(next == UTF8_POUND ? POUND : COPYRIGHT);
                m_at += 2;
                return;
            }
        }
        if (c == '\t') {
            raw(BLANK);
        } else if (c < FIRST_PRINTABLE || c >= COPYRIGHT) {
            fail("the character " + byte_text(c) + " is not one the listing writes as it stands (write \\{" +
                 byte_text(c) + "})");
            return;
        } else {
            raw(c);
        }
        ++m_at;
    }

    // A blank before a keyword is the listing's own when the listing would have printed one there.
    void blank()
    {
        const auto match = match_keyword(m_text.substr(m_at + 1), m_machine);
        if (match && match->letter_first) {
            // SAM: the blank after the line number is the listing's, so one at the start of the text is not.
            const bool listed =
                m_machine == Machine::Zx ? m_blank_allowed && zx_leading_blank(match->bytes.front()) : m_at > 0;
            if (listed) {
                ++m_at;
                keyword(*match);
                return;
            }
        }
        raw(BLANK);
        ++m_at;
    }

    bool word()
    {
        const char c = m_text[m_at];
        if (continues_name(m_last) && c != '<' && c != '>')
            return false;
        const auto match = match_keyword(rest(), m_machine);
        if (match)
            keyword(*match);
        return match.has_value();
    }

    void keyword(const KeywordMatch& match)
    {
        if (m_machine == Machine::Sam && match.bytes.size() == 1)
            m_sam_tokens.push_back(m_out.size());
        m_out.insert(m_out.end(), match.bytes.begin(), match.bytes.end());
        m_at += match.length;
        m_before_last = m_last;
        m_last = 0;
        const std::uint8_t token = match.bytes.back();
        bool trailing = false;
        if (m_machine == Machine::Zx) {
            m_in_rem = m_in_rem || token == ZX_REM;
            m_file_statement = starts_disc_statement(token) || (m_file_statement && token != ZX_THEN);
            trailing = zx_trailing_blank(token);
            m_blank_allowed = !trailing;
        } else {
            m_in_rem = m_in_rem || (token == SAM_REM && match.bytes.size() == 1);
            trailing = match.word_end && m_at + 1 < m_text.size() &&
                       SAM_NO_BLANK_BEFORE.find(m_text[m_at + 1]) == std::string_view::npos;
        }
        if (trailing && m_at < m_text.size() && m_text[m_at] == ' ')
            ++m_at;
    }

    bool number()
    {
        // +D syntax puts a drive number right after a letter: LOAD d1"name", OPEN #4;d1"file".
        const bool drive =
            m_machine == Machine::Zx && m_file_statement && std::isalpha(m_last) != 0 && !continues_name(m_before_last);
        if (continues_name(m_last) && !drive)
            return false;
        const bool bin = follows_bin(m_out, m_out.size(), m_machine);
        if (!bin && !starts_number(m_text[m_at], m_machine))
            return false;
        const auto found = read_number(rest(), m_machine, bin);
        if (!found)
            return false;
        const std::string_view digits = rest().substr(0, found->length);
        const bool marked = m_text.substr(m_at + found->length).starts_with("\\{=");
        if (!found->error.empty() && !marked) {
            fail(found->error + ": " + std::string(digits));
            return true;
        }
        for (const char c : digits)
            raw(static_cast<std::uint8_t>(c));
        m_at += found->length;
        if (!marked) {
            m_out.push_back(NUMBER_MARK);
            m_out.insert(m_out.end(), found->form.begin(), found->form.end());
        }
        return true;
    }

    void escape()
    {
        if (m_at + 1 >= m_text.size()) {
            fail("a \\ ends the line");
            return;
        }
        const char c = m_text[m_at + 1];
        if (c == '\\' || c == '*') {
            raw(c == '\\' ? BACKSLASH : COPYRIGHT);
            m_at += 2;
        } else if (c == '{') {
            braces();
        } else if (m_machine == Machine::Zx && c >= 'a' && c <= LAST_UDG_LETTER) {
            raw(static_cast<std::uint8_t>(FIRST_UDG + (c - 'a')));
            m_at += 2;
        } else if (m_machine == Machine::Zx && m_at + 2 < m_text.size() &&
                   HALF_BLOCKS.find(c) != std::string_view::npos &&
                   HALF_BLOCKS.find(m_text[m_at + 2]) != std::string_view::npos) {
            const auto left = static_cast<unsigned>(HALF_BLOCKS.find(c));
            const auto right = static_cast<unsigned>(HALF_BLOCKS.find(m_text[m_at + 2]));
            // Bit 0 top right, bit 1 top left, bit 2 bottom right, bit 3 bottom left.
            raw(static_cast<std::uint8_t>(FIRST_BLOCK_GRAPHIC + (right & 1) + ((left & 1) << 1) + ((right & 2) << 1) +
                                          ((left & 2) << 2)));
            m_at += 3;
        } else {
            fail("unknown escape \\" + std::string(1, c));
        }
    }

    void braces()
    {
        const std::size_t close = m_text.find('}', m_at + 2);
        if (close == std::string_view::npos) {
            fail("\\{ without }");
            return;
        }
        const std::string_view inside = m_text.substr(m_at + 2, close - m_at - 2);
        if (!brace_bytes(inside))
            fail("unknown escape \\{" + std::string(inside) + "}");
        else
            m_at = close + 1;
    }

    bool brace_bytes(std::string_view inside)
    {
        if (inside.starts_with('=')) {
            const auto bytes = mark_bytes(inside.substr(1));
            if (!bytes)
                return false;
            m_out.push_back(NUMBER_MARK);
            m_out.insert(m_out.end(), bytes->begin(), bytes->end());
            return true;
        }
        if (const auto b = hex_byte(inside.substr(0, 4))) {
            const auto second = inside.size() > 4 ? hex_byte(inside.substr(5)) : std::nullopt;
            if (inside.size() > 4 && (inside[4] != ' ' || !second))
                return false;
            raw(*b);
            if (second) { // a SAM code after 0xFF: a byte of the code, not a character
                m_out.push_back(*second);
                m_before_last = m_last;
                m_last = *second;
            }
            return true;
        }
        return m_machine == Machine::Zx && control(inside);
    }

    // "INK 2", "AT 3,4": a colour or position code and the parameter bytes that follow it.
    bool control(std::string_view inside)
    {
        const std::size_t space = inside.find(' ');
        const std::string_view name = inside.substr(0, space);
        const auto* found = std::find(CONTROLS.begin(), CONTROLS.end(), name);
        if (found == CONTROLS.end())
            return false;
        const auto code = static_cast<std::uint8_t>(FIRST_CONTROL + (found - CONTROLS.begin()));
        std::vector<std::uint8_t> bytes{code};
        if (space != std::string_view::npos) {
            std::string_view params = inside.substr(space + 1);
            while (true) {
                const std::size_t comma = params.find(',');
                const auto value = decimal_byte(params.substr(0, comma));
                if (!value)
                    return false;
                bytes.push_back(*value);
                if (comma == std::string_view::npos)
                    break;
                params.remove_prefix(comma + 1);
            }
        }
        if (bytes.size() > (code >= AT_CONTROL ? 3u : 2u))
            return false;
        // The parameters are bytes of the code, not characters: a 34 opens no string.
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
        m_before_last = bytes.size() > 1 ? bytes[bytes.size() - 2] : m_last;
        m_last = bytes.back();
        m_blank_allowed = true;
        return true;
    }

    // The SAM's editor stores IF as the long form and ELSE as the long form; a THEN later in the line makes the IF
    // the short one, and an ELSE after a short IF the short ELSE.
    void mark_short_ifs()
    {
        bool short_if = false;
        for (std::size_t i = 0; i < m_sam_tokens.size(); ++i) {
            std::uint8_t& token = m_out[m_sam_tokens[i]];
            if (token == SAM_LONG_IF) {
                for (std::size_t j = i + 1; j < m_sam_tokens.size() && m_out[m_sam_tokens[j]] != SAM_LONG_IF; ++j) {
                    if (m_out[m_sam_tokens[j]] == SAM_THEN) {
                        token = SAM_LONG_IF + 1;
                        short_if = true;
                        break;
                    }
                }
            } else if (token == SAM_LONG_ELSE && short_if) {
                token = SAM_LONG_ELSE + 1;
            }
        }
    }

    // The bytes the editor puts after DEF FN's parameters and SAM's call names, unless a mark gives others.
    void add_editor_bytes()
    {
        const std::vector<EditorBytes> found = editor_bytes(m_out, m_machine);
        for (auto bytes = found.rbegin(); bytes != found.rend(); ++bytes) {
            if (bytes->at < m_out.size() && m_out[bytes->at] == NUMBER_MARK)
                continue;
            const auto at = m_out.begin() + static_cast<std::ptrdiff_t>(bytes->at);
            m_out.insert(m_out.insert(at, NUMBER_MARK) + 1, bytes->form.begin(), bytes->form.end());
        }
    }

    std::string_view m_text;
    Machine m_machine;
    std::size_t m_column; // of the text's start in its line
    std::size_t m_at = 0;
    std::vector<std::uint8_t> m_out;
    std::vector<std::size_t> m_sam_tokens; // where single-byte SAM keywords stand in m_out
    std::string m_error;
    std::uint8_t m_last = 0; // the last byte of text written (0 after a keyword)
    std::uint8_t m_before_last = 0;
    bool m_file_statement = false; // ZX: the statement started with a disc keyword
    bool m_in_string = false;
    bool m_in_rem = false;
    bool m_blank_allowed = true; // ZX: whether the listing would print a keyword's leading blank here
};

} // namespace

std::variant<std::vector<std::uint8_t>, std::string> tokenise_line(std::string_view body, Machine machine)
{
    LineTokeniser line(body, machine);
    std::string error = line.run();
    if (!error.empty())
        return error;
    return line.take();
}

std::variant<Program, TokeniseError> tokenise(std::string_view text, Machine machine)
{
    const std::uint32_t max_number = machine == Machine::Zx ? MAX_LINE_NUMBER : SAM_MAX_LINE_NUMBER;
    Program program;
    std::size_t text_line = 0;
    while (!text.empty()) {
        ++text_line;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos)
            continue;
        std::size_t at = start;
        std::uint32_t number = 0;
        while (at < line.size() && line[at] >= '0' && line[at] <= '9' && number <= max_number)
            number = number * 10 + static_cast<std::uint32_t>(line[at++] - '0');
        if (at == start)
            return TokeniseError{text_line, "no line number"};
        if (number > max_number)
            return TokeniseError{text_line, "the line number is above " + std::to_string(max_number)};
        // SAM lists a blank after every line number, and its editor drops one typed there.
        if (machine == Machine::Sam && at < line.size() && line[at] == ' ')
            ++at;
        LineTokeniser reader(line.substr(at), machine, at);
        if (std::string why = reader.run(); !why.empty())
            return TokeniseError{text_line, std::move(why)};
        std::vector<std::uint8_t> body = reader.take();
        body.push_back(ENTER);
        if (body.size() > MAX_LINE_BYTES)
            return TokeniseError{text_line, "the line takes more than 65535 bytes"};
        program.bytes.push_back(static_cast<std::uint8_t>(number >> 8));
        program.bytes.push_back(static_cast<std::uint8_t>(number & 0xFF));
        program.bytes.push_back(static_cast<std::uint8_t>(body.size() & 0xFF));
        program.bytes.push_back(static_cast<std::uint8_t>(body.size() >> 8));
        program.bytes.insert(program.bytes.end(), body.begin(), body.end());
        if (program.lines++ == 0)
            program.first_line = static_cast<std::uint16_t>(number);
    }
    if (program.lines == 0)
        return TokeniseError{text_line, "the text holds no program line"};
    if (machine == Machine::Sam)
        program.bytes.push_back(SAM_PROGRAM_END);
    return program;
}

std::string error_text(const TokeniseError& error)
{
    return "line " + std::to_string(error.text_line) + ": " + error.reason;
}

} // namespace basic
