#include "basic/numbers.h"

#include "common/number_text.h"

#include <algorithm>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace basic {
namespace {

constexpr std::uint32_t LARGEST_SMALL = 65535;
constexpr int EXPONENT_BIAS = 128;
constexpr int MAX_BIASED_EXPONENT = 255;
constexpr int MANTISSA_BITS = 32;
constexpr std::uint8_t NEGATIVE = 0xFF;
constexpr std::uint8_t SIGN_BIT = 0x80;
constexpr std::uint8_t ZX_BIN = 0xC4;
constexpr std::uint8_t SAM_BIN = 0x43; // after 0xFF
constexpr std::uint8_t SAM_PREFIX = 0xFF;
constexpr std::size_t MAX_BIN_DIGITS = 16;
constexpr std::uint32_t SAM_MAX_HEX = 0xFFFFFF;
constexpr int MAX_SHOWN_DIGITS = 12;
// LOAD, SAVE, VERIFY, MERGE, CAT, FORMAT, MOVE, ERASE, OPEN #, CLOSE #.
constexpr const char* ZX_DISC_KEYWORDS = "\xEF\xF8\xD6\xD5\xCF\xD0\xD1\xD2\xD3\xD4";

bool c_is_letter(std::uint8_t c)
{
    return c < 0x80 && std::isalpha(c) != 0;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

HiddenNumber small_form(std::int32_t value)
{
    const auto stored = static_cast<std::uint32_t>(value < 0 ? value + 0x10000 : value);
    return {0, value < 0 ? NEGATIVE : std::uint8_t{0}, static_cast<std::uint8_t>(stored & 0xFF),
            static_cast<std::uint8_t>(stored >> 8), 0};
}

// The form of a value that is not negative: the small form for zero and (when `whole_form`) a whole number up to
// 65535, else the exponent and the mantissa rounded to the nearest; "" or why the value cannot be stored.
std::string form_of(long double value, HiddenNumber& form, bool whole_form = true)
{
    if (value == 0 || (whole_form && value <= LARGEST_SMALL && value == std::floor(value))) {
        form = small_form(static_cast<std::int32_t>(value));
        return "";
    }
    int exponent = 0;
    const long double fraction = std::frexp(value, &exponent); // 0.5 <= fraction < 1
    auto mantissa = static_cast<std::uint64_t>(std::nearbyint(std::ldexp(fraction, MANTISSA_BITS)));
    if (mantissa >> MANTISSA_BITS) { // rounded up to the next power of two
        mantissa >>= 1;
        ++exponent;
    }
    const int biased = exponent + EXPONENT_BIAS;
    if (biased > MAX_BIASED_EXPONENT)
        return "the number is too large";
    if (biased < 1)
        return "the number is too small";
    form = {static_cast<std::uint8_t>(biased), static_cast<std::uint8_t>((mantissa >> 24) & 0x7F),
            static_cast<std::uint8_t>(mantissa >> 16), static_cast<std::uint8_t>(mantissa >> 8),
            static_cast<std::uint8_t>(mantissa)};
    return "";
}

std::size_t count_digits(std::string_view text, std::size_t at)
{
    std::size_t n = 0;
    while (at + n < text.size() && is_digit(text[at + n]))
        ++n;
    return n;
}

std::optional<NumberText> read_decimal(std::string_view text, Machine machine)
{
    std::size_t at = count_digits(text, 0);
    std::size_t digits = at;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = count_digits(text, at + 1);
        digits += fraction;
        at += 1 + fraction;
    }
    if (digits == 0)
        return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        std::size_t sign = at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-') ? 1 : 0;
        const std::size_t exponent = count_digits(text, at + 1 + sign);
        if (exponent > 0)
            at += 1 + sign + exponent;
    }
    NumberText number;
    number.length = at;
    const std::string literal(text.substr(0, at));
    // The SAM keeps a number written with a point or an exponent in the floating-point form, whole or not.
    const bool whole_form = machine == Machine::Zx || literal.find_first_of(".eE") == std::string::npos;
    errno = 0;
    const long double value = std::strtold(literal.c_str(), nullptr);
    if (errno == ERANGE || !std::isfinite(value))
        number.error = value < 1 ? "the number is too small" : "the number is too large";
    else
        number.error = form_of(value, number.form, whole_form);
    return number;
}

std::optional<NumberText> read_radix(std::string_view text, unsigned radix, std::size_t first, std::size_t max_value)
{
    std::size_t at = first;
    std::uint64_t value = 0;
    bool too_large = false;
    while (at < text.size()) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
        const unsigned digit = is_digit(c)              ? static_cast<unsigned>(c - '0')
                               : (c >= 'a' && c <= 'f') ? static_cast<unsigned>(c - 'a' + 10)
                                                        : radix;
        if (digit >= radix)
            break;
        value = value * radix + digit;
        too_large = too_large || value > max_value;
        ++at;
    }
    if (at == first)
        return std::nullopt;
    NumberText number;
    number.length = at;
    if (too_large)
        number.error = "the number is too large";
    else
        number.error = form_of(static_cast<long double>(value), number.form);
    return number;
}

long double value_of(const HiddenNumber& form)
{
    if (form[0] == 0)
        return form[2] + 256.0L * form[3] - (form[1] == NEGATIVE ? 65536.0L : 0.0L);
    const std::uint32_t mantissa = (std::uint32_t{form[1]} | SIGN_BIT) << 24 | std::uint32_t{form[2]} << 16 |
                                   std::uint32_t{form[3]} << 8 | form[4];
    const long double magnitude = std::ldexp(static_cast<long double>(mantissa), form[0] - EXPONENT_BIAS - 32);
    return (form[1] & SIGN_BIT) ? -magnitude : magnitude;
}

// A decimal text that gives `hidden`, or "".
std::string decimal_text(std::span<const std::uint8_t> hidden)
{
    if (hidden.size() != HIDDEN_NUMBER)
        return "";
    HiddenNumber form;
    std::copy(hidden.begin(), hidden.end(), form.begin());
    const long double value = value_of(form);
    for (int digits = 1; digits <= MAX_SHOWN_DIGITS; ++digits) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*Lg", digits, value);
        const auto bytes = mark_bytes(text);
        if (bytes && std::equal(bytes->begin(), bytes->end(), hidden.begin(), hidden.end()))
            return text;
    }
    return "";
}

} // namespace

bool starts_number(char c, Machine machine)
{
    return is_digit(c) || c == '.' || (machine == Machine::Sam && c == '&');
}

std::optional<NumberText> read_number(std::string_view text, Machine machine, bool after_bin)
{
    if (text.empty())
        return std::nullopt;
    if (after_bin)
        return read_radix(text, 2, 0, (std::size_t{1} << MAX_BIN_DIGITS) - 1);
    if (machine == Machine::Sam && text.front() == '&')
        return read_radix(text, 16, 1, SAM_MAX_HEX);
    return read_decimal(text, machine);
}

bool follows_bin(std::span<const std::uint8_t> line, std::size_t at, Machine machine)
{
    while (at > 0 && line[at - 1] == BLANK)
        --at;
    if (machine == Machine::Zx)
        return at > 0 && line[at - 1] == ZX_BIN;
    return at > 1 && line[at - 1] == SAM_BIN && line[at - 2] == SAM_PREFIX;
}

bool number_may_follow(std::uint8_t last, std::uint8_t before_last, bool disc_statement, Machine machine)
{
    auto in_name = [](std::uint8_t c) {
        return c < 0x80 && (std::isalnum(c) != 0 || c == '_');
    };
    const bool drive = machine == Machine::Zx && disc_statement && c_is_letter(last) && !in_name(before_last);
    return !in_name(last) || drive;
}

bool starts_disc_statement(std::uint8_t token)
{
    return std::string_view(ZX_DISC_KEYWORDS).find(static_cast<char>(token)) != std::string_view::npos;
}

bool NumberSpotter::character(std::span<const std::uint8_t> line, std::size_t at, bool in_text)
{
    const std::uint8_t b = line[at];
    if (in_text && at >= m_number_end && number_may_follow(m_last, m_before_last, m_disc_statement, m_machine)) {
        const bool bin = follows_bin(line, at, m_machine);
        if (bin || starts_number(static_cast<char>(b), m_machine)) {
            std::size_t end = at;
            while (end < line.size() && line[end] >= FIRST_PRINTABLE && line[end] < COPYRIGHT)
                ++end;
            const std::string text(line.begin() + static_cast<std::ptrdiff_t>(at),
                                   line.begin() + static_cast<std::ptrdiff_t>(end));
            if (const auto number = read_number(text, m_machine, bin)) {
                m_number_end = at + number->length;
                m_number_form = number->error.empty() ? std::optional(number->form) : std::nullopt;
                m_number_refused = !number->error.empty();
            }
        }
    }
    if (b == ':' && in_text)
        m_disc_statement = false;
    parameter(b);
    return m_number_refused && at < m_number_end;
}

void NumberSpotter::parameter(std::uint8_t b)
{
    m_before_last = m_last;
    m_last = b;
}

void NumberSpotter::keyword(std::uint8_t token)
{
    m_before_last = m_last;
    m_last = 0;
    if (m_machine == Machine::Zx)
        m_disc_statement = starts_disc_statement(token) || (m_disc_statement && token != ZX_THEN);
}

std::string NumberSpotter::mark(std::span<const std::uint8_t> line, std::size_t at, bool in_text)
{
    const auto hidden = line.subspan(at + 1, std::min(HIDDEN_NUMBER, line.size() - at - 1));
    const bool same = in_text && m_number_end == at && m_number_form && hidden.size() == HIDDEN_NUMBER &&
                      std::equal(hidden.begin(), hidden.end(), m_number_form->begin());
    m_number_form.reset();
    if (same)
        return "";
    std::string value = decimal_text(hidden);
    if (value.empty()) {
        value = "0x";
        for (const std::uint8_t b : hidden)
            value += common::hex(b, common::BYTE_DIGITS).substr(2);
    }
    return "\\{=" + value + "}";
}

std::optional<std::vector<std::uint8_t>> mark_bytes(std::string_view value)
{
    std::vector<std::uint8_t> bytes;
    if (value.starts_with("0x")) {
        value.remove_prefix(2);
        if (value.size() % 2 != 0 || value.size() > 2 * HIDDEN_NUMBER)
            return std::nullopt;
        for (std::size_t i = 0; i < value.size(); i += 2) {
            const auto byte = read_radix(value.substr(i, 2), 16, 0, 0xFF);
            if (!byte || byte->length != 2)
                return std::nullopt;
            bytes.push_back(static_cast<std::uint8_t>(value_of(byte->form)));
        }
        return bytes;
    }
    const bool negative = value.starts_with('-');
    if (negative)
        value.remove_prefix(1);
    const auto number = read_number(value, Machine::Zx, false);
    if (!number || number->length != value.size() || !number->error.empty())
        return std::nullopt;
    HiddenNumber form = number->form;
    if (negative && form[0] == 0) {
        const auto magnitude = static_cast<std::int32_t>(value_of(form));
        if (magnitude == 0)
            return std::nullopt;
        form = small_form(-magnitude);
    } else if (negative) {
        form[1] |= SIGN_BIT;
    }
    return std::vector<std::uint8_t>(form.begin(), form.end());
}

namespace {

// Reads a stored line as the editors' syntax checks do, only as far as the places of their six bytes go.
class EditorWalk
{
public:
    EditorWalk(std::span<const std::uint8_t> line, Machine machine) : m_line(line), m_machine(machine) {}

    std::vector<EditorBytes> run()
    {
        constexpr std::uint8_t ZX_REM = 0xEA, ZX_DEF_FN = 0xCE;
        constexpr std::uint8_t SAM_REM = 0xB7, SAM_DEF_FN = 0xC8, SAM_FN = 0x42, SAM_THEN = 0x8D, SAM_LONG_ELSE = 0xD9,
                               SAM_SHORT_ELSE = 0xDA, SAM_ON_ERROR = 0xDD;
        const bool sam = m_machine == Machine::Sam;
        bool statement_start = sam;
        bool in_string = false;
        while (m_at < m_line.size()) {
            const std::uint8_t b = m_line[m_at++];
            if (in_string) {
                in_string = b != QUOTE;
            } else if (b == NUMBER_MARK) {
                m_at += HIDDEN_NUMBER;
                statement_start = false;
            } else if (b == (sam ? SAM_REM : ZX_REM)) {
                break;
            } else if (b == (sam ? SAM_DEF_FN : ZX_DEF_FN)) {
                def_fn();
                statement_start = false;
            } else if (sam && b == SAM_PREFIX && m_at < m_line.size()) {
                if (m_line[m_at++] == SAM_FN) {
                    blanks();
                    if (name())
                        here(SAM_FN_FORM);
                }
                statement_start = false;
            } else if (sam &&
                       (b == ':' || b == SAM_THEN || b == SAM_LONG_ELSE || b == SAM_SHORT_ELSE || b == SAM_ON_ERROR)) {
                statement_start = true;
            } else if (b != BLANK) {
                if (statement_start && c_is_letter(b)) {
                    --m_at;
                    name(false);
                    here(SAM_PROC_FORM);
                }
                in_string = b == QUOTE;
                statement_start = false;
            }
        }
        return std::move(m_found);
    }

private:
    void blanks()
    {
        while (m_at < m_line.size() && m_line[m_at] == BLANK)
            ++m_at;
    }

    bool next_is(std::uint8_t c) const { return m_at < m_line.size() && m_line[m_at] == c; }

    // A name: a letter, then letters, digits and '_' (SAM BASIC's FNNAME; ZX BASIC takes one letter), then a '$'.
    bool name(bool dollar = true)
    {
        if (m_at >= m_line.size() || !c_is_letter(m_line[m_at]))
            return false;
        ++m_at;
        while (m_machine == Machine::Sam && m_at < m_line.size() && m_line[m_at] < 0x80 &&
               (std::isalnum(m_line[m_at]) != 0 || m_line[m_at] == '_'))
            ++m_at;
        if (dollar && next_is('$'))
            ++m_at;
        return true;
    }

    // The editor's bytes belong at m_at; when the line holds them, the walk steps over them.
    void here(const HiddenNumber& form)
    {
        m_found.push_back({m_at, form});
        if (next_is(NUMBER_MARK))
            m_at += 1 + HIDDEN_NUMBER;
    }

    // DEF FN name(a, b$): bytes after each parameter, a single letter with or without '$'.
    void def_fn()
    {
        blanks();
        if (!name())
            return;
        blanks();
        if (!next_is('('))
            return;
        ++m_at;
        while (true) {
            blanks();
            if (m_at >= m_line.size() || !c_is_letter(m_line[m_at]))
                return;
            ++m_at;
            if (next_is('$'))
                ++m_at;
            here(DEF_FN_FORM);
            blanks();
            if (!next_is(','))
                return;
            ++m_at;
        }
    }

    std::span<const std::uint8_t> m_line;
    Machine m_machine;
    std::size_t m_at = 0;
    std::vector<EditorBytes> m_found;
};

} // namespace

std::vector<EditorBytes> editor_bytes(std::span<const std::uint8_t> line, Machine machine)
{
    return EditorWalk(line, machine).run();
}

bool editor_default(std::span<const EditorBytes> found, std::span<const std::uint8_t> line, std::size_t at)
{
    const auto bytes = std::find_if(found.begin(), found.end(), [at](const EditorBytes& e) { return e.at == at; });
    return bytes != found.end() && line.size() - at > HIDDEN_NUMBER &&
           std::equal(bytes->form.begin(), bytes->form.end(), line.begin() + static_cast<std::ptrdiff_t>(at + 1));
}

} // namespace basic
