// A one-line input requester: a prompt, an edit field holding the initial text (a file name) with its name part
// selected, and the buttons OK and Cancel. Enter confirms; Cancel, Escape or any other way of closing it gives an
// empty answer.
#pragma once

#include <QDialog>

class QLineEdit;

namespace shell {

// The length of a file name's part before its extension (the last "."; a leading dot starts no extension).
int name_part_length(const QString& name);

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
