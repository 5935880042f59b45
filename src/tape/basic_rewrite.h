// Blanking of disc syntax out of the LOAD and SAVE statements of a ZX BASIC program, so that a loader converted
// to tape loads its other parts from tape. Two forms are known: the drive form (d or D, a drive number, then the
// quoted name or a string variable) and the channel form (*"m";1; and three other spellings of drive 1 or 2).
// The bytes are replaced by spaces in place, so no length anywhere changes. The walk knows nothing of lines,
// strings or numbers: a LOAD or SAVE byte anywhere in the data counts as the keyword.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tape {

// Rewrites the program in place and returns the number of places changed (0 when none). Reads and writes only
// within `program`; a form cut off by the end of the data is left alone.
int rewrite_basic_loader(std::span<std::uint8_t> program);

// A statement that only a Spectrum with the +D (G+DOS) runs: from tape the 48K ROM stops it with a syntax error.
struct DiscOnlyStatement
{
    int line = 0;      // the BASIC line number
    int statement = 0; // 1 for the line's first statement
    std::string what;  // the syntax, as "POKE @" or "CAT"
};

// The statements of a program (lines as list_program reads them; the walk ends at the first line number above
// 9999 or a line cut off by the end of the data) that still use +D syntax the rewrite leaves: CAT, ERASE, MOVE
// and FORMAT; POKE @; LOAD, SAVE, VERIFY and MERGE with a drive (d1, d*), a file number (p1), a sector address (@)
// or a channel (*); OPEN # with a drive; CLOSE #* and CLEAR #. Strings and the hidden numbers are skipped.
std::vector<DiscOnlyStatement> find_disc_only_syntax(std::span<const std::uint8_t> program);

// "line 10:2 POKE @, line 30:1 CAT": the statements in one line of text.
std::string describe(const std::vector<DiscOnlyStatement>& statements);

} // namespace tape
