#include "platform/qt_process_runner.h"

#include "shell/command_line.h"
#include "shell/modal.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QProcess>
#include <QUrl>

namespace platform {
namespace {

QString unquoted(QString program)
{
    if (program.size() >= 2 && program.startsWith('"') && program.endsWith('"'))
        program = program.mid(1, program.size() - 2);
    return program;
}

bool open_with_desktop(const QString& program)
{
    return QDesktopServices::openUrl(QUrl::fromUserInput(unquoted(program)));
}

} // namespace

bool QtProcessRunner::run_program(const QString& program, const QString& arguments, const QString& working_folder,
                                  bool wait)
{
    QStringList parts = shell::split_command_line(shell::command_line(program, arguments));
    if (parts.isEmpty() || parts.front().isEmpty())
        return open_with_desktop(program);
    const QString executable = parts.takeFirst();
    if (!wait)
        return QProcess::startDetached(executable, parts, working_folder) || open_with_desktop(program);
    QProcess process;
    process.setProgram(executable);
    process.setArguments(parts);
    process.setWorkingDirectory(working_folder);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    QEventLoop loop;
    // A program that fails to start reports an error but never finishes: wait for either.
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || process.state() == QProcess::NotRunning)
            loop.quit();
    });
    process.start();
    if (process.state() != QProcess::NotRunning)
        shell::run_without_input(loop);
    if (process.error() == QProcess::FailedToStart)
        return open_with_desktop(program);
    return true;
}

} // namespace platform
