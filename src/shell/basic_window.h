// The BASIC listing window: the lines of a program listing, read-only in a fixed-pitch font, selectable and
// copyable, in a resizable window titled with the file's name. Escape closes it. Run it through run_modal.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QKeyEvent;
class QPlainTextEdit;

namespace shell {

class BasicWindow : public QWidget
{
    Q_OBJECT
public:
    // `lines` as the core lists them (plain ASCII); centred over `owner` when there is one.
    BasicWindow(const QString& title, const std::vector<std::string>& lines, QWidget* owner = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPlainTextEdit* m_text;
};

} // namespace shell
