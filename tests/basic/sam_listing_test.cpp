// SAM BASIC listings: every keyword code against a table copied from the published token lists (in decimal, as
// the technical manual's lists give them), the real programs, and the damage rules of the line walk.
#include "basic/sam_listing.h"

#include "basic/sam_tokens.h"
#include "image/file_export.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Code and word, "-" where no keyword uses the code: functions (after 0xFF) 59-132, then keywords 133-246.
constexpr const char* TOKENS = R"(59 PI|60 RND|61 POINT|62 FREE|63 LENGTH|64 ITEM|65 ATTR|66 FN|67 BIN|68 XMOUSE
|69 YMOUSE|70 XPEN|71 YPEN|72 RAMTOP|73 -|74 INSTR|75 INKEY$|76 SCREEN$|77 MEM$|78 -|79 PATH$|80 STRING$|81 -|82 -
|83 SIN|84 COS|85 TAN|86 ASN|87 ACS|88 ATN|89 LN|90 EXP|91 ABS|92 SGN|93 SQR|94 INT|95 USR|96 IN|97 PEEK|98 DPEEK
|99 DVAR|100 SVAR|101 BUTTON|102 EOF|103 PTR|104 -|105 UDG|106 -|107 LEN|108 CODE|109 VAL$|110 VAL|111 TRUNC$
|112 CHR$|113 STR$|114 BIN$|115 HEX$|116 USR$|117 -|118 NOT|119 -|120 -|121 -|122 MOD|123 DIV|124 BOR|125 -|126 BAND
|127 OR|128 AND|129 <>|130 <=|131 >=|132 -|133 USING|134 WRITE|135 AT|136 TAB|137 OFF|138 WHILE|139 UNTIL|140 LINE
|141 THEN|142 TO|143 STEP|144 DIR|145 FORMAT|146 ERASE|147 MOVE|148 SAVE|149 LOAD|150 MERGE|151 VERIFY|152 OPEN
|153 CLOSE|154 CIRCLE|155 PLOT|156 LET|157 BLITZ|158 BORDER|159 CLS|160 PALETTE|161 PEN|162 PAPER|163 FLASH
|164 BRIGHT|165 INVERSE|166 OVER|167 FATPIX|168 CSIZE|169 BLOCKS|170 MODE|171 GRAB|172 PUT|173 BEEP|174 SOUND
|175 NEW|176 RUN|177 STOP|178 CONTINUE|179 CLEAR|180 GO TO|181 GO SUB|182 RETURN|183 REM|184 READ|185 DATA
|186 RESTORE|187 PRINT|188 LPRINT|189 LIST|190 LLIST|191 DUMP|192 FOR|193 NEXT|194 PAUSE|195 DRAW|196 DEFAULT
|197 DIM|198 INPUT|199 RANDOMIZE|200 DEF FN|201 DEF KEYCODE|202 DEF PROC|203 END PROC|204 RENUM|205 DELETE|206 REF
|207 COPY|208 -|209 KEYIN|210 LOCAL|211 LOOP IF|212 DO|213 LOOP|214 EXIT IF|215 IF|216 IF|217 ELSE|218 ELSE
|219 END IF|220 KEY|221 ON ERROR|222 ON|223 GET|224 OUT|225 POKE|226 DPOKE|227 RENAME|228 CALL|229 ROLL|230 SCROLL
|231 SCREEN|232 DISPLAY|233 BOOT|234 LABEL|235 FILL|236 WINDOW|237 AUTO|238 POP|239 RECORD|240 DEVICE|241 PROTECT
|242 HIDE|243 ZAP|244 POW|245 BOOM|246 ZOOM)";

// A program of lines (number, text) and its end marker, then `after` (the variables).
Bytes program(const std::vector<std::pair<int, Bytes>>& lines, const Bytes& after = {0xFF})
{
    Bytes out;
    for (const auto& [number, text] : lines) {
        out.push_back(static_cast<std::uint8_t>(number >> 8));
        out.push_back(static_cast<std::uint8_t>(number & 0xFF));
        out.push_back(static_cast<std::uint8_t>((text.size() + 1) & 0xFF));
        out.push_back(static_cast<std::uint8_t>((text.size() + 1) >> 8));
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0x0D);
    }
    out.insert(out.end(), after.begin(), after.end());
    return out;
}

std::vector<std::string> list(const Bytes& data)
{
    return basic::list_sam_program(data, data.size()).lines;
}

} // namespace

TEST(SamTokens, EveryCodeNamesItsPublishedWord)
{
    std::istringstream table(TOKENS);
    std::string entry;
    int expected_code = 59;
    while (std::getline(table, entry, '|')) {
        if (entry.back() == '\n')
            entry.pop_back();
        const std::size_t blank = entry.find(' ');
        const int code = std::stoi(entry.substr(0, blank));
        const std::string word = entry.substr(blank + 1) == "-" ? "" : entry.substr(blank + 1);
        ASSERT_EQ(code, expected_code++);
        const auto byte = static_cast<std::uint8_t>(code);
        if (code < 133) {
            EXPECT_EQ(basic::sam_function(byte), word) << code;
            EXPECT_EQ(basic::sam_keyword(byte), "") << code; // never a single-byte keyword
        } else {
            EXPECT_EQ(basic::sam_keyword(byte), word) << code;
            EXPECT_EQ(basic::sam_function(byte), "") << code; // never after 0xFF
        }
        // In a line: a lone keyword, or 0xFF and the code, a word after the line number's blank; codes without a word
        // come out as their bytes.
        const Bytes text = code < 133 ? Bytes{0xFF, byte} : Bytes{byte};
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", code);
        const std::string escaped = code < 133 ? "\\{0xFF " + std::string(hex) + "}" : "\\{" + std::string(hex) + "}";
        EXPECT_EQ(basic::sam_line_text(text), " " + (word.empty() ? escaped : word)) << code;
    }
    EXPECT_EQ(expected_code, 247);
    for (int code : {0x80, 0x84, 0xF7, 0xFE})
        EXPECT_EQ(basic::sam_keyword(static_cast<std::uint8_t>(code)), "") << code;
}

TEST(SamListing, RealProgramsListWithoutDamage)
{
    struct Case
    {
        std::filesystem::path image;
        std::vector<std::string> lines;
    };
    const auto dir = testing_support::real_images_dir();
    for (const Case& c : {Case{dir / "sam" / "sam_basic_auto.mgt", {"   10 PRINT \"Hello world!\""}},
                          Case{dir / "sam-sequential.img", {"   10 PRINT \"Hello World!\"", "   20 STOP"}}}) {
        const auto disc = testing_support::open_source(c.image);
        auto exported = image::export_file(*disc, 0);
        ASSERT_TRUE(std::holds_alternative<image::ExportedFile>(exported)) << c.image;
        const Bytes& data = std::get<image::ExportedFile>(exported).bytes;
        const basic::Listing listing = basic::list_sam_program(data, data.size());
        EXPECT_FALSE(listing.damage) << c.image << ": " << listing.lines.back();
        EXPECT_EQ(listing.lines, c.lines) << c.image;
    }
}

TEST(SamListing, LinesShowKeywordsFunctionsAndStringsAsTheSamWritesThem)
{
    const Bytes number_7{'7', 0x0E, 0, 0, 7, 0, 0};
    // 10 DEF PROC box x: LET y=x MOD 7: END PROC    20 DO: PRINT CHR$ 65;"£é": LOOP IF INKEY$<>"q"
    // 30 REM "odd \ quote    40 menu: PRINT DPEEK 9 (a procedure call first, with the bytes the editor stores after its
    // name)    65279 ON ERROR GO TO 10
    Bytes line_10{0xCA, ' ', 'b', 'o', 'x', ' ', 'x', ':', 0x9C, 'y', '=', 'x', 0xFF, 0x7A};
    line_10.insert(line_10.end(), number_7.begin(), number_7.end());
    line_10.insert(line_10.end(), {':', 0xCB});
    const Bytes data = program({{10, line_10},
                                {20, {0xD4, ':',  0xBB, 0xFF, 0x70, '6',  '5',  0x0E, 0,    0,    65,  0,   0,  ';',
                                      '"',  0x60, 0x9C, '"',  ':',  0xD3, 0xFF, 0x4B, 0xFF, 0x81, '"', 'q', '"'}},
                                {30, {0xB7, ' ', '"', 'o', 'd', 'd', ' ', '\\', ' ', 0xBB, 0x7F}},
                                {40, {'m', 'e', 'n', 'u', 0x0E, 0xFD, 0xFD, 0xFD, 0, 0, ':', 0xBB, 0xFF, 0x62, '9'}},
                                {65279, {0xDD, 0xB4, '1', '0', 0x0E, 0, 0, 10, 0, 0, 0x01}}},
                               {0xFF, 0x41, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00});
    EXPECT_EQ(list(data), (std::vector<std::string>{
                              "   10 DEF PROC  box x: LET y=x MOD 7: END PROC",
                              "   20 DO: PRINT CHR$ 65;\"`\\{0x9C}\": LOOP IF INKEY$<>\"q\"",
                              "   30 REM  \"odd \\\\  PRINT \\*",
                              "   40 menu: PRINT DPEEK 9",
                              "65279 ON ERROR GO TO 10\\{0x01}",
                          }));
}

TEST(SamListing, DamageIsMarkedWhereItStarts)
{
    struct Case
    {
        Bytes data;
        std::size_t length;
        std::string mark;
    };
    const Bytes two_lines = program({{10, {0xB1}}, {20, {0xB1}}});
    for (const Case& c : {
             Case{program({{10, {0xB1}}}, {}), 6, "** damage at byte 6: the program has no end marker (0xFF)"},
             Case{two_lines, 9, "** damage at byte 6: line header cut off by the end of the program (3 bytes left)"},
             Case{two_lines, 20, "** damage at byte 13: the program length 20 is larger than the 13 bytes of data"},
             Case{program({{10, {0xBB, 0xFF}}}), 8, "** damage at byte 6: line 10 does not end in ENTER"},
         }) {
        Bytes data = c.data;
        if (c.mark.find("ENTER") != std::string::npos)
            data[6] = 0xFF; // the ENTER replaced
        const basic::Listing listing = basic::list_sam_program(data, c.length);
        ASSERT_TRUE(listing.damage) << c.mark;
        EXPECT_EQ(listing.lines.back(), c.mark);
    }
}
