#include "basic/sam_tokens.h"

#include "basic/characters.h"

#include <array>
#include <cctype>

namespace basic {
namespace {

// From 0x3B on; "" marks a code the ROM leaves unused. Long and short IF (0xD7, 0xD8) and ELSE (0xD9, 0xDA) list
// alike.
constexpr std::array<std::string_view, SAM_LAST_KEYWORD - SAM_FIRST_FUNCTION + 1> WORDS = {
    // 0x3B
    "PI",
    "RND",
    "POINT",
    "FREE",
    "LENGTH",
    "ITEM",
    "ATTR",
    "FN",
    "BIN",
    "XMOUSE",
    "YMOUSE",
    "XPEN",
    "YPEN",
    "RAMTOP",
    "",
    "INSTR",
    "INKEY$",
    "SCREEN$",
    "MEM$",
    "",
    "PATH$",
    "STRING$",
    "",
    "",
    // 0x53
    "SIN",
    "COS",
    "TAN",
    "ASN",
    "ACS",
    "ATN",
    "LN",
    "EXP",
    "ABS",
    "SGN",
    "SQR",
    "INT",
    "USR",
    "IN",
    "PEEK",
    "DPEEK",
    "DVAR",
    "SVAR",
    "BUTTON",
    "EOF",
    "PTR",
    "",
    "UDG",
    "",
    // 0x6B
    "LEN",
    "CODE",
    "VAL$",
    "VAL",
    "TRUNC$",
    "CHR$",
    "STR$",
    "BIN$",
    "HEX$",
    "USR$",
    "",
    "NOT",
    "",
    "",
    "",
    // 0x7A
    "MOD",
    "DIV",
    "BOR",
    "",
    "BAND",
    "OR",
    "AND",
    "<>",
    "<=",
    ">=",
    "",
    // 0x85
    "USING",
    "WRITE",
    "AT",
    "TAB",
    "OFF",
    "WHILE",
    "UNTIL",
    "LINE",
    "THEN",
    "TO",
    "STEP",
    // 0x90
    "DIR",
    "FORMAT",
    "ERASE",
    "MOVE",
    "SAVE",
    "LOAD",
    "MERGE",
    "VERIFY",
    "OPEN",
    "CLOSE",
    "CIRCLE",
    "PLOT",
    "LET",
    "BLITZ",
    "BORDER",
    "CLS",
    // 0xA0
    "PALETTE",
    "PEN",
    "PAPER",
    "FLASH",
    "BRIGHT",
    "INVERSE",
    "OVER",
    "FATPIX",
    "CSIZE",
    "BLOCKS",
    "MODE",
    "GRAB",
    "PUT",
    "BEEP",
    "SOUND",
    "NEW",
    // 0xB0
    "RUN",
    "STOP",
    "CONTINUE",
    "CLEAR",
    "GO TO",
    "GO SUB",
    "RETURN",
    "REM",
    "READ",
    "DATA",
    "RESTORE",
    "PRINT",
    "LPRINT",
    "LIST",
    "LLIST",
    "DUMP",
    // 0xC0
    "FOR",
    "NEXT",
    "PAUSE",
    "DRAW",
    "DEFAULT",
    "DIM",
    "INPUT",
    "RANDOMIZE",
    "DEF FN",
    "DEF KEYCODE",
    "DEF PROC",
    "END PROC",
    "RENUM",
    "DELETE",
    "REF",
    "COPY",
    // 0xD0
    "",
    "KEYIN",
    "LOCAL",
    "LOOP IF",
    "DO",
    "LOOP",
    "EXIT IF",
    "IF",
    "IF",
    "ELSE",
    "ELSE",
    "END IF",
    "KEY",
    "ON ERROR",
    "ON",
    "GET",
    // 0xE0
    "OUT",
    "POKE",
    "DPOKE",
    "RENAME",
    "CALL",
    "ROLL",
    "SCROLL",
    "SCREEN",
    "DISPLAY",
    "BOOT",
    "LABEL",
    "FILL",
    "WINDOW",
    "AUTO",
    "POP",
    "RECORD",
    // 0xF0
    "DEVICE",
    "PROTECT",
    "HIDE",
    "ZAP",
    "POW",
    "BOOM",
    "ZOOM",
};

std::string_view word(std::uint8_t code)
{
    return WORDS[code - SAM_FIRST_FUNCTION];
}

} // namespace

std::string_view sam_keyword(std::uint8_t token)
{
    return token >= SAM_FIRST_KEYWORD && token <= SAM_LAST_KEYWORD ? word(token) : std::string_view{};
}

std::string_view sam_function(std::uint8_t code)
{
    return code >= SAM_FIRST_FUNCTION && code <= SAM_LAST_FUNCTION ? word(code) : std::string_view{};
}

std::vector<std::size_t> sam_call_ends(std::span<const std::uint8_t> line)
{
    constexpr std::uint8_t THEN = 0x8D, LONG_ELSE = 0xD9, SHORT_ELSE = 0xDA, ON_ERROR = 0xDD, REM = 0xB7;
    auto in_name = [](std::uint8_t c) {
        return c < 0x80 && (std::isalnum(c) != 0 || c == '_');
    };
    std::vector<std::size_t> ends;
    bool statement_start = true;
    bool in_string = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const std::uint8_t b = line[i];
        if (in_string) {
            in_string = b != QUOTE;
        } else if (b == NUMBER_MARK) {
            i += HIDDEN_NUMBER;
            statement_start = false;
        } else if (b == REM) {
            break;
        } else if (b == ':' || b == THEN || b == LONG_ELSE || b == SHORT_ELSE || b == ON_ERROR) {
            statement_start = true;
        } else if (b != BLANK) {
            if (statement_start && b < 0x80 && std::isalpha(b) != 0) {
                while (i + 1 < line.size() && in_name(line[i + 1]))
                    ++i;
                ends.push_back(i + 1);
            }
            i += b == SAM_FUNCTION_PREFIX ? 1 : 0;
            in_string = b == QUOTE;
            statement_start = false;
        }
    }
    return ends;
}

} // namespace basic
