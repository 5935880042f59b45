#include "basic/sam_listing.h"

#include "basic/characters.h"
#include "basic/keyword_match.h"
#include "basic/numbers.h"
#include "basic/sam_tokens.h"
#include "common/number_text.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace basic {
namespace {

constexpr std::uint8_t FIRST_HIGH = 0x80;
constexpr std::uint8_t REM = 0xB7;

bool is_word_end(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '$';
}

std::string hex(std::uint8_t byte)
{
    return common::hex(byte, common::BYTE_DIGITS);
}

// Characters a keyword's trailing blank is left out before (as before an operator keyword such as "<>").
constexpr std::string_view NO_BLANK_BEFORE = ":;,)";

// Builds the line after the blank the ROM's LIST prints behind every line number (so a first keyword takes no
// second one), holding back a keyword's trailing blank until it is known what follows. A blank the line stores
// never stands in for a keyword's own, so that the listing reads back with it: a stored blank before or after a
// keyword shows as two.
class LineWriter
{
public:
    void text(std::string_view piece)
    {
        if (m_blank_pending && NO_BLANK_BEFORE.find(piece.front()) == std::string_view::npos)
            m_out += ' ';
        m_blank_pending = false;
        m_out += piece;
    }

    void keyword(std::string_view name)
    {
        const bool letter_first = std::isalpha(static_cast<unsigned char>(name.front())) != 0;
        if (letter_first && !m_blank_pending && m_out.size() > 1)
            m_out += ' ';
        if (!letter_first)
            m_blank_pending = false;
        text(name);
        m_blank_pending = is_word_end(name.back());
    }

    // A raw letter; one that starts a word is remembered, in case it reads as a keyword.
    void letter(char c, bool word_start)
    {
        text(std::string(1, c));
        const std::size_t at = m_out.size() - 1;
        if (word_start && (at == 0 || !continues_name(static_cast<std::uint8_t>(m_out[at - 1]))))
            m_word_starts.push_back(at);
    }

    std::string take()
    {
        escape_keyword_lookalikes(m_out, m_word_starts, Machine::Sam);
        return std::move(m_out);
    }

private:
    std::string m_out = " ";
    std::vector<std::size_t> m_word_starts;
    bool m_blank_pending = false;
};

} // namespace

std::string sam_line_text(std::span<const std::uint8_t> text)
{
    LineWriter line;
    bool in_string = false;
    bool in_rem = false;
    std::uint8_t last = 0; // the last byte listed as text (0 after a keyword), as the tokeniser sees it
    NumberSpotter numbers(Machine::Sam);
    const std::vector<EditorBytes> editor = editor_bytes(text, Machine::Sam);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t b = text[i];
        if (b == NUMBER_MARK) {
            // The bytes the editor puts after a call's name or a DEF FN parameter are left out as it writes them.
            const std::string mark = numbers.mark(text, i, !in_string && !in_rem);
            if (!mark.empty() && !editor_default(editor, text, i))
                line.text(mark);
            i += std::min(HIDDEN_NUMBER, text.size() - i - 1);
            continue;
        }
        const std::uint8_t before = last;
        last = b;
        if (b < FIRST_PRINTABLE || (b >= FIRST_HIGH && in_string)) {
            line.text("\\{" + hex(b) + "}");
            numbers.character(text, i, false);
            continue;
        }
        if (b == BACKSLASH || b == COPYRIGHT) {
            line.text(b == BACKSLASH ? "\\\\" : "\\*");
            numbers.character(text, i, false);
        } else if (b < FIRST_HIGH) {
            if (numbers.character(text, i, !in_string && !in_rem)) {
                line.text("\\{" + hex(b) + "}");
                continue;
            }
            if (b == QUOTE && !in_rem)
                in_string = !in_string;
            // A word's first letter, or a '<' or '>' (which "<>", "<=" and ">=" start wherever they stand), may read
            // back as a keyword, which the SAM lists with other blanks.
            const bool may_start_keyword = std::isalpha(b) != 0 ? !continues_name(before) : b == '<' || b == '>';
            line.letter(static_cast<char>(b), may_start_keyword && !in_string && !in_rem);
        } else if (b == SAM_FUNCTION_PREFIX) {
            if (i + 1 == text.size()) {
                line.text("\\{" + hex(b) + "}");
                numbers.character(text, i, false);
                continue;
            }
            const std::uint8_t code = text[++i];
            const std::string_view name = sam_function(code);
            // Inside a REM, where the text reads back as characters, an operator would take the blanks of its
            // characters rather than its own: it is written as its bytes.
            if (name.empty() || (in_rem && std::isalpha(name.front()) == 0)) {
                line.text("\\{" + hex(b) + " " + hex(code) + "}");
                numbers.character(text, i - 1, false);
                numbers.character(text, i, false);
                last = code;
            } else {
                line.keyword(name);
                numbers.keyword(code);
                last = 0;
            }
        } else {
            const std::string_view name = sam_keyword(b);
            if (name.empty()) {
                line.text("\\{" + hex(b) + "}");
                numbers.character(text, i, false);
            } else {
                line.keyword(name);
                numbers.keyword(b);
                last = 0;
            }
            in_rem = in_rem || b == REM;
        }
    }
    return line.take();
}

Listing list_sam_program(std::span<const std::uint8_t> data, std::size_t length)
{
    return list_program(data, length, Dialect{SAM_MAX_LINE_NUMBER, SAM_PROGRAM_END, &sam_line_text});
}

} // namespace basic
