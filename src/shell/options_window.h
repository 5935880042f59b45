// The options window: the SAMDisk path and the BASIC loader switch. Changes take effect in the settings at the
// moment the user acts; text typed into the path field is taken over when the window closes.
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

protected:
    void closeEvent(QCloseEvent* event) override;

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
