// The command line of a program start, as the user would type it: the program in double quotes (unless it is
// quoted already), then a blank and the argument text.
#pragma once

#include <QString>
#include <QStringList>

namespace shell {

QString command_line(const QString& program, const QString& arguments);

// Splits a command line into the program and its arguments with the usual quoting rules (double quotes group
// blanks; a doubled quote inside quotes is a quote). No shell takes part.
QStringList split_command_line(const QString& line);

} // namespace shell
