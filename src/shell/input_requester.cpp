#include "shell/input_requester.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace shell {

InputRequester::InputRequester(const QString& title, const QString& prompt, const QString& initial, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("inputRequester");
    if (owner)
        setFont(owner->font());
    setWindowTitle(title);
    setFixedSize(300, 130);

    auto* label = new QLabel(prompt, this);
    label->setObjectName("inputPrompt");
    label->setGeometry(10, 10, 280, 22);

    m_field = new QLineEdit(initial, this);
    m_field->setObjectName("inputField");
    m_field->setGeometry(10, 32, 275, 21);
    m_field->setCursorPosition(static_cast<int>(initial.size()));

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("inputOk");
    ok->setGeometry(110, 67, 80, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_field->setFocus();
}

void InputRequester::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Focusing the field selects its text; the caret belongs at the end with nothing selected.
    QTimer::singleShot(0, m_field, [field = m_field] { field->end(false); });
}

QString InputRequester::answer() const
{
    return result() == QDialog::Accepted ? m_field->text() : QString();
}

} // namespace shell
