#include "shell/command_line.h"

#include <QProcess>

namespace shell {

QString command_line(const QString& program, const QString& arguments)
{
    QString line = program.startsWith('"') ? program : '"' + program + '"';
    if (!arguments.isEmpty())
        line += ' ' + arguments;
    return line;
}

QStringList split_command_line(const QString& line)
{
    return QProcess::splitCommand(line);
}

} // namespace shell
