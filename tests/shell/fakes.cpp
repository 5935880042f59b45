#include "fakes.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <filesystem>

namespace testing_support {

void ScriptedRequester::expect(const QString& kind, const QString& answer)
{
    m_script.emplace_back(kind, answer);
}

QString ScriptedRequester::answer(const Question& question)
{
    m_asked.append(question);
    if (m_action) {
        auto action = std::move(m_action);
        m_action = nullptr;
        action();
    }
    if (m_script.empty() || m_script.front().first != question.kind) {
        m_unexpected << question.kind + ": " + question.title;
        // The test fails here, whether or not it looks at unexpected() later.
        QTest::qFail(qPrintable("unexpected question " + m_unexpected.back()), __FILE__, __LINE__);
        return {};
    }
    QString reply = m_script.front().second;
    m_script.pop_front();
    return reply;
}

QString ScriptedRequester::ask_save_file(const QString& title, const QString& proposed_path, const QString& filters)
{
    return answer({"save", title, proposed_path, filters});
}

QString ScriptedRequester::ask_open_file(const QString& title, const QString& proposed_path, const QString& filters,
                                         const QString& selected_filter)
{
    return answer({"open", title, proposed_path, filters, selected_filter});
}

QStringList ScriptedRequester::ask_open_files(const QString& title, const QString& proposed_path,
                                              const QString& filters)
{
    return answer({"open files", title, proposed_path, filters}).split('\n', Qt::SkipEmptyParts);
}

bool ScriptedRequester::ask_yes_no(const QString& title, const QString& text, shell::Icon, shell::Preset preset)
{
    return answer({"yesno", title, text, preset == shell::Preset::No ? "preset No" : ""}) == "yes";
}

void ScriptedRequester::show_message(const QString& title, const QString& text, shell::Icon)
{
    answer({"message", title, text, {}});
}

QString ScriptedRequester::ask_text(const QString& title, const QString& prompt, const QString& initial)
{
    return answer({"text", title, prompt, initial});
}

QString ScriptedRequester::ask_choice(const QString& title, const QString& prompt, const QStringList& items)
{
    return answer({"choice", title, prompt, items.join('|')});
}

bool FakeProcessRunner::run_program(const QString& program, const QString& arguments, const QString& working_folder,
                                    bool wait)
{
    m_runs.append({program, arguments, working_folder, wait});
    if (wait)
        m_clock += m_duration;
    return starts;
}

bool FakeSystemInfo::is_removable_drive(const QString& drive)
{
    return drive == "a:" ? drive_a : drive == "b:" ? drive_b : false;
}

shell::PathSize FakeSystemInfo::file_size(const QString& path)
{
    std::error_code error;
    const std::filesystem::path at = path.toStdString();
    if (std::filesystem::is_directory(at, error))
        return {shell::PathSize::Kind::Folder, 0};
    const auto size = std::filesystem::file_size(at, error);
    if (error)
        return {shell::PathSize::Kind::Missing, 0};
    return {shell::PathSize::Kind::File, static_cast<qint64>(size)};
}

QString FakeSystemInfo::move_to_trash(const QString& path)
{
    QFile file(path);
    if (trash_folder.isEmpty() || !file.rename(trash_folder + "/" + QFileInfo(path).fileName()))
        return "cannot move " + path + " to the trash";
    return {};
}

} // namespace testing_support
