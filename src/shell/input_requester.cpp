#include "shell/input_requester.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace shell {
namespace {

constexpr QSize WINDOW_SIZE(300, 130);
constexpr QRect PROMPT_RECT(10, 10, 280, 22);
constexpr QRect FIELD_RECT(10, 32, 275, 21);
constexpr QRect OK_RECT(60, 67, 80, 25);
constexpr QRect CANCEL_RECT(160, 67, 80, 25);
constexpr int FONT_SLACK = 4; // a face's line may be taller than its pixel size

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

    // A prompt longer than a line wraps, and everything below it moves down by the lines it takes.
    auto* label = new QLabel(prompt, this);
    label->setObjectName("inputPrompt");
    label->setWordWrap(true);
    const int prompt_height = std::max(PROMPT_RECT.height(), label->heightForWidth(PROMPT_RECT.width()) + FONT_SLACK);
    const int below = prompt_height - PROMPT_RECT.height();
    label->setGeometry(PROMPT_RECT.adjusted(0, 0, 0, below));
    setFixedSize(WINDOW_SIZE + QSize(0, below));

    m_field = new QLineEdit(initial, this);
    m_field->setObjectName("inputField");
    m_field->setGeometry(FIELD_RECT.translated(0, below));
    m_field->setCursorPosition(static_cast<int>(initial.size()));

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("inputOk");
    ok->setGeometry(OK_RECT.translated(0, below));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("inputCancel");
    cancel->setGeometry(CANCEL_RECT.translated(0, below));
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
