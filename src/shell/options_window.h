// The options window: the SAMDisk path and the BASIC loader switch. Changes take effect in the settings at the
// moment the user acts; text typed into the path field is taken over when the window closes, by its close box or
// by Escape.
#pragma once

#include "common/settings.h"
#include "shell/interfaces.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace shell {

inline constexpr const char* SAMDISK_ADDRESS = "https://simonowen.com/samdisk/";

class OptionsWindow : public QWidget
{
    Q_OBJECT
public:
    OptionsWindow(common::Settings& settings, Services services, QWidget* owner);

signals:
    // A line for the main window's status bar: the web page could not be opened.
    void status_message(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void browse();

    common::Settings& m_settings;
    Services m_services;
    QLineEdit* m_path = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_web = nullptr;
    QCheckBox* m_rewrite = nullptr;
};

} // namespace shell
