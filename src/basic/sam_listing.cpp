#include "basic/sam_listing.h"

#include "basic/characters.h"
#include "basic/sam_tokens.h"
#include "common/number_text.h"

#include <algorithm>
#include <cctype>
#include <string_view>

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
constexpr std::string_view NO_BLANK_BEFORE = " :;,)";

// Builds the line after the blank the ROM's LIST prints behind every line number (so a first keyword takes no
// second one), holding back a keyword's trailing blank until it is known that a blank does not follow anyway.
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
        if (letter_first && !m_blank_pending && (m_out.empty() || m_out.back() != ' '))
            m_out += ' ';
        if (!letter_first)
            m_blank_pending = false;
        text(name);
        m_blank_pending = is_word_end(name.back());
    }

    std::string take() { return std::move(m_out); }

private:
    std::string m_out = " ";
    bool m_blank_pending = false;
};

} // namespace

std::string sam_line_text(std::span<const std::uint8_t> text)
{
    LineWriter line;
    bool in_string = false;
    bool in_rem = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t b = text[i];
        if (b == NUMBER_MARK) {
            i += std::min(HIDDEN_NUMBER, text.size() - i - 1);
            continue;
        }
        if (b < FIRST_PRINTABLE || (b >= FIRST_HIGH && in_string)) {
            line.text("\\{" + hex(b) + "}");
            continue;
        }
        if (b == BACKSLASH) {
            line.text("\\\\");
        } else if (b == COPYRIGHT) {
            line.text("\\*");
        } else if (b < FIRST_HIGH) {
            if (b == QUOTE && !in_rem)
                in_string = !in_string;
            line.text(std::string(1, static_cast<char>(b)));
        } else if (b == SAM_FUNCTION_PREFIX) {
            if (i + 1 == text.size()) {
                line.text("\\{" + hex(b) + "}");
                continue;
            }
            const std::uint8_t code = text[++i];
            const std::string_view name = sam_function(code);
            if (name.empty())
                line.text("\\{" + hex(b) + " " + hex(code) + "}");
            else
                line.keyword(name);
        } else {
            const std::string_view name = sam_keyword(b);
            if (name.empty())
                line.text("\\{" + hex(b) + "}");
            else
                line.keyword(name);
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
