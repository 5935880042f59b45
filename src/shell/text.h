// Conversions between the program's 8-bit texts and Qt's strings. Disc names are raw bytes shown as
// Latin-1; host paths are in the local 8-bit encoding and must come back unchanged.
#pragma once

#include "session/text.h"

#include <QString>

#include <cstdint>
#include <string>

namespace shell {

QString from_path(const std::string& path);
std::string to_path(const QString& path);

// A disc name or other disc text: one character per byte.
QString from_disc(const std::string& text);
std::string to_disc(const QString& text);

// A disc text as the window shows it: one character per byte, but TAB, LF and CR as "\t", "\n" and "\r" and the
// other control bytes as "\xNN", so that a name holding them stays on its row.
QString shown_disc_text(const std::string& text);

// A count as the window's messages show it, with a comma before each group of three digits ("819,200").
QString grouped(std::int64_t number);

// A text of the use cases, each piece as its encoding says: a path decoded, disc bytes one character each, disc
// text shown on one line, a file's name shown without the blanks around it.
QString shown_text(const session::Text& text);

} // namespace shell
