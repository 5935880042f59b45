#include "shell/basic_window.h"

#include "shell/screen_viewer.h"
#include "shell/text.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace shell {
namespace {

// Room for a typical listing line and a screenful of lines before the window is resized.
constexpr int INITIAL_COLUMNS = 80;
constexpr int INITIAL_ROWS = 24;

} // namespace

BasicWindow::BasicWindow(const QString& title, const std::vector<std::string>& lines, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_text(new QPlainTextEdit(this))
{
    setObjectName("basicWindow");
    setWindowTitle(title);
    m_text->setObjectName("basicText");
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        text.append(from_disc(line));
    m_text->setPlainText(text.join('\n'));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    const QFontMetrics metrics(m_text->font());
    resize(metrics.horizontalAdvance(QString(INITIAL_COLUMNS, 'M')) + m_text->verticalScrollBar()->sizeHint().width(),
           metrics.lineSpacing() * INITIAL_ROWS);
    if (owner)
        centre_over(*this, *owner);
}

void BasicWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace shell
