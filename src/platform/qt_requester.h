// Requesters and message boxes built from Qt's own widgets (never the desktop's native dialogs), each run as a
// sub-window of the main window: the main window keeps painting and its close request closes the requester.
#pragma once

#include "shell/interfaces.h"

class QWidget;

namespace platform {

class QtRequester : public shell::Requester
{
public:
    // Requesters open over `owner` (set once the main window exists).
    void set_owner(QWidget* owner) { m_owner = owner; }

    QString ask_save_file(const QString& title, const QString& proposed_path, const QString& filters) override;
    QString ask_open_file(const QString& title, const QString& proposed_path, const QString& filters,
                          const QString& selected_filter) override;
    QStringList ask_open_files(const QString& title, const QString& proposed_path, const QString& filters) override;
    bool ask_yes_no(const QString& title, const QString& text, shell::Icon icon, shell::Preset preset) override;
    void show_message(const QString& title, const QString& text, shell::Icon icon) override;
    QString ask_text(const QString& title, const QString& prompt, const QString& initial) override;
    QString ask_choice(const QString& title, const QString& prompt, const QStringList& items) override;

private:
    enum class Pick
    {
        SaveOne,
        OpenOne,
        OpenMany,
    };
    QStringList ask_files(const QString& title, const QString& proposed_path, const QString& filters,
                          const QString& selected_filter, Pick pick);

    QWidget* m_owner = nullptr;
};

// Turns "Name|*.ext|Other|*.a;*.b" into Qt's name filters ("Name (*.ext)", "Other (*.a *.b)").
QStringList qt_name_filters(const QString& filters);

} // namespace platform
