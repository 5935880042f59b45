// A one-line input requester: a prompt, an edit field holding the initial text with the caret at its end, and an
// OK button. Enter confirms; Escape or any other way of closing it gives an empty answer.
#pragma once

#include <QDialog>

class QLineEdit;

namespace shell {

class InputRequester : public QDialog
{
    Q_OBJECT
public:
    InputRequester(const QString& title, const QString& prompt, const QString& initial, QWidget* owner);

    // The typed text after OK, otherwise "".
    QString answer() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_field = nullptr;
};

} // namespace shell
