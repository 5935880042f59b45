// Scripted stand-ins for the platform services: every question the window asks is answered from a script and
// recorded; a question nobody scripted fails the running test and is answered with "no" / "".
#pragma once

#include "shell/interfaces.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace testing_support {

struct Question
{
    QString kind; // "save", "open", "open files", "yesno", "message", "text"
    QString title;
    QString text;  // the proposed path, the question, the prompt
    QString extra; // the filters, or the initial text
    QString selected_filter = {};
};

class ScriptedRequester : public shell::Requester
{
public:
    // Answers in order: a text for save/open/text requesters, "yes"/"no" for questions, "" for messages.
    void expect(const QString& kind, const QString& answer);
    // Runs while the next question is asked (before it is answered), for tests that act meanwhile.
    void on_next_question(std::function<void()> action) { m_action = std::move(action); }

    bool exhausted() const { return m_script.empty(); }
    const QList<Question>& asked() const { return m_asked; }
    const QStringList& unexpected() const { return m_unexpected; }

    QString ask_save_file(const QString& title, const QString& proposed_path, const QString& filters) override;
    QString ask_open_file(const QString& title, const QString& proposed_path, const QString& filters,
                          const QString& selected_filter) override;
    // Answered by a script entry of kind "open files": the paths separated by "\n" ("" when cancelled).
    QStringList ask_open_files(const QString& title, const QString& proposed_path, const QString& filters) override;
    // A question whose Return key answers No is recorded with "preset No" as its extra.
    bool ask_yes_no(const QString& title, const QString& text, shell::Icon icon, shell::Preset preset) override;
    void show_message(const QString& title, const QString& text, shell::Icon icon) override;
    QString ask_text(const QString& title, const QString& prompt, const QString& initial) override;
    QString ask_choice(const QString& title, const QString& prompt, const QStringList& items) override;

private:
    QString answer(const Question& question);

    std::deque<std::pair<QString, QString>> m_script;
    QList<Question> m_asked;
    QStringList m_unexpected;
    std::function<void()> m_action;
};

struct ProgramRun
{
    QString program;
    QString arguments;
    QString working_folder;
    bool wait;
};

// Records program starts; each "takes" the given number of milliseconds on the fake clock, and starts (or
// reaches a web browser) unless `starts` is false.
class FakeProcessRunner : public shell::ProcessRunner
{
public:
    explicit FakeProcessRunner(qint64& clock) : m_clock(clock) {}
    void set_duration(qint64 milliseconds) { m_duration = milliseconds; }
    const QList<ProgramRun>& runs() const { return m_runs; }
    bool run_program(const QString& program, const QString& arguments, const QString& working_folder,
                     bool wait) override;

    bool starts = true;

private:
    qint64& m_clock;
    qint64 m_duration = 0;
    QList<ProgramRun> m_runs;
};

// Drives and file sizes as the test says; file sizes of paths not set come from the real file system.
class FakeSystemInfo : public shell::SystemInfo
{
public:
    bool drive_a = true;
    bool drive_b = true;
    qint64 clock = 100000;

    bool is_removable_drive(const QString& drive) override;
    shell::PathSize file_size(const QString& path) override;
    qint64 tick_count() override { return clock; }
    // Files moved to the trash go into `trash_folder`; with none set there is no trash.
    bool has_trash() override { return !trash_folder.isEmpty(); }
    QString move_to_trash(const QString& path) override;

    QString trash_folder;
};

} // namespace testing_support
