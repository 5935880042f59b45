#include "shell/options_window.h"

#include "shell/screen_viewer.h"
#include "shell/text.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace shell {
namespace {

constexpr int WIDTH = 325;
constexpr int HEIGHT = 100;
constexpr QRect LABEL_RECT(5, 7, 60, 19);
constexpr QRect PATH_RECT(70, 5, 180, 19);
constexpr QRect BROWSE_RECT(255, 5, 30, 19);
constexpr QRect WEB_RECT(290, 5, 30, 19);
constexpr QRect CHECK_RECT(5, 25, 160, 19);
// Open-file filters: executables on Windows carry .exe; elsewhere they have no extension at all, so the
// requester opens with every file shown.
constexpr const char* SAMDISK_FILTERS = "Executable Files|*.exe|All Files|*";
#ifdef _WIN32
constexpr const char* SAMDISK_FILTER_CHOSEN = "";
#else
constexpr const char* SAMDISK_FILTER_CHOSEN = "All Files";
#endif

} // namespace

OptionsWindow::OptionsWindow(common::Settings& settings, Services services, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_settings(settings), m_services(services)
{
    setObjectName("optionsWindow");
    if (owner)
        setFont(owner->font());
    setWindowTitle("Kestrel Options");
    setFixedSize(WIDTH, HEIGHT);

    auto* label = new QLabel("SAMDisk2:", this);
    label->setObjectName("samdiskLabel");
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(LABEL_RECT);

    m_path = new QLineEdit(from_path(m_settings.SAMDisk), this);
    m_path->setObjectName("samdiskPath");
    m_path->setToolTip("SAMDisk File");
    m_path->setGeometry(PATH_RECT);

    m_browse = new QPushButton("...", this);
    m_browse->setObjectName("browseButton");
    m_browse->setToolTip("SAMDisk File find");
    m_browse->setGeometry(BROWSE_RECT);
    connect(m_browse, &QPushButton::clicked, this, &OptionsWindow::browse);

    m_web = new QPushButton("web", this);
    m_web->setObjectName("webButton");
    m_web->setToolTip("Visit SAMDisk website");
    m_web->setGeometry(WEB_RECT);
    connect(m_web, &QPushButton::clicked, this, [this] {
        if (!m_services.runner.run_program(SAMDISK_ADDRESS, QString(), QString(), false))
            emit status_message(QString("No web browser could be started; the SAMDisk page is ") + SAMDISK_ADDRESS);
    });

    m_rewrite = new QCheckBox("Modify BASIC Loader", this);
    m_rewrite->setObjectName("rewriteCheck");
    m_rewrite->setToolTip("Change loading/saving syntax in BASIC parts automaticaly");
    m_rewrite->setGeometry(CHECK_RECT);
    m_rewrite->setChecked(m_settings.BasStrip != 0);
    // Only a click changes the stored value, so a value such as 7 survives an unclicked visit.
    connect(m_rewrite, &QCheckBox::clicked, this, [this](bool checked) { m_settings.BasStrip = checked ? 1 : 0; });

    if (owner)
        centre_over(*this, *owner);
}

void OptionsWindow::browse()
{
    const QString answer = m_services.requester.ask_open_file("Select SAMDisk file", from_path(m_settings.SAMDisk),
                                                              SAMDISK_FILTERS, SAMDISK_FILTER_CHOSEN);
    // A cancelled requester changes nothing.
    if (answer.isEmpty())
        return;
    m_settings.SAMDisk = to_path(answer);
    m_path->setText(answer);
}

void OptionsWindow::closeEvent(QCloseEvent* event)
{
    m_settings.SAMDisk = to_path(m_path->text());
    event->accept();
}

void OptionsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace shell
