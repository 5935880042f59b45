#include "basic/keyword_match.h"

#include "basic/listing.h"
#include "basic/sam_tokens.h"
#include "common/number_text.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace basic {
namespace {

struct Word
{
    std::string_view name;
    std::vector<std::uint8_t> bytes;
};

constexpr std::uint8_t SAM_PEN = 0xA1;

bool is_letter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

void longest_first(std::vector<Word>& words)
{
    std::stable_sort(words.begin(), words.end(),
                     [](const Word& a, const Word& b) { return a.name.size() > b.name.size(); });
}

std::vector<Word> zx_words()
{
    std::vector<Word> words;
    for (unsigned token = ZX_FIRST_TOKEN; token <= 0xFF; ++token)
        words.push_back({zx_keyword(static_cast<std::uint8_t>(token)), {static_cast<std::uint8_t>(token)}});
    longest_first(words);
    return words;
}

// The first of two codes with one word is the one the SAM's editor makes (the long IF and ELSE); INK, the
// Spectrum's word, becomes PEN as the editor makes it.
std::vector<Word> sam_words()
{
    std::vector<Word> words;
    auto add = [&words](std::string_view name, std::vector<std::uint8_t> bytes) {
        if (!name.empty() && std::none_of(words.begin(), words.end(), [&](const Word& w) { return w.name == name; }))
            words.push_back({name, std::move(bytes)});
    };
    for (unsigned code = SAM_FUNCTIONS.first; code <= SAM_FUNCTIONS.last; ++code)
        add(sam_function(static_cast<std::uint8_t>(code)), {SAM_FUNCTION_PREFIX, static_cast<std::uint8_t>(code)});
    for (unsigned code = SAM_KEYWORDS.first; code <= SAM_KEYWORDS.last; ++code)
        add(sam_keyword(static_cast<std::uint8_t>(code)), {static_cast<std::uint8_t>(code)});
    add("INK", {SAM_PEN});
    longest_first(words);
    return words;
}

// How much of `text` the word takes, or 0.
std::size_t match_word(std::string_view name, std::string_view text, Machine machine)
{
    std::size_t at = 0;
    for (const char c : name) {
        if (c == ' ') {
            if (at < text.size() && text[at] == ' ')
                ++at;
            continue;
        }
        if (at >= text.size() ||
            std::toupper(static_cast<unsigned char>(text[at])) != std::toupper(static_cast<unsigned char>(c)))
            return 0;
        ++at;
    }
    if (is_letter(name.back()) && at < text.size()) {
        const char next = text[at];
        if (is_letter(next) || next == '$' || (machine == Machine::Sam && next == '_'))
            return 0;
    }
    return at;
}

} // namespace

std::optional<KeywordMatch> match_keyword(std::string_view text, Machine machine)
{
    static const std::vector<Word> zx = zx_words();
    static const std::vector<Word> sam = sam_words();
    if (text.empty() || !(is_letter(text.front()) || text.front() == '<' || text.front() == '>'))
        return std::nullopt;
    for (const Word& word : machine == Machine::Zx ? zx : sam) {
        if (const std::size_t length = match_word(word.name, text, machine))
            return KeywordMatch{word.bytes, length, is_letter(word.name.front()),
                                is_letter(word.name.back()) || word.name.back() == '$'};
    }
    return std::nullopt;
}

void escape_keyword_lookalikes(std::string& text, std::span<const std::size_t> word_starts, Machine machine)
{
    for (auto at = word_starts.rbegin(); at != word_starts.rend(); ++at) {
        if (match_keyword(std::string_view(text).substr(*at), machine))
            text.replace(*at, 1, "\\{" + common::hex(static_cast<std::uint8_t>(text[*at]), common::BYTE_DIGITS) + "}");
    }
}

bool continues_name(std::uint8_t c)
{
    return c < 0x80 && (std::isalnum(c) != 0 || c == '_');
}

} // namespace basic
