#include "shell/input_requester.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace shell {
namespace {

constexpr QSize WINDOW_SIZE(300, 130);
constexpr QRect PROMPT_RECT(10, 10, 280, 22);
constexpr QRect FIELD_RECT(10, 32, 275, 21);
constexpr QRect OK_RECT(60, 67, 80, 25);
constexpr QRect CANCEL_RECT(160, 67, 80, 25);

} // namespace

int name_part_length(const QString& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return static_cast<int>(dot > 0 ? dot : name.size());
}

InputRequester::InputRequester(const QString& title, const QString& prompt, const QString& initial, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("inputRequester");
    if (owner)
        setFont(owner->font());
    setWindowTitle(title);
    setFixedSize(WINDOW_SIZE);

    auto* label = new QLabel(prompt, this);
    label->setObjectName("inputPrompt");
    label->setGeometry(PROMPT_RECT);

    m_field = new QLineEdit(initial, this);
    m_field->setObjectName("inputField");
    m_field->setGeometry(FIELD_RECT);
    m_field->setCursorPosition(static_cast<int>(initial.size()));

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("inputOk");
    ok->setGeometry(OK_RECT);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("inputCancel");
    cancel->setGeometry(CANCEL_RECT);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_field->setFocus();
}

void InputRequester::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Focusing the field selects all its text; the name part alone is selected, so typing replaces the name and
    // keeps the extension.
    QTimer::singleShot(0, m_field, [field = m_field] { field->setSelection(0, name_part_length(field->text())); });
}

QString InputRequester::answer() const
{
    return result() == QDialog::Accepted ? m_field->text() : QString();
}

} // namespace shell
