#include "platform/qt_requester.h"

#include "shell/input_requester.h"
#include "shell/modal.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {
namespace {

constexpr qsizetype FEW_CHOICES = 4;

QMessageBox::Icon message_icon(shell::Icon icon)
{
    switch (icon) {
    case shell::Icon::Question:
        return QMessageBox::Question;
    case shell::Icon::Exclamation:
        return QMessageBox::Warning;
    case shell::Icon::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

QStringList qt_name_filters(const QString& filters)
{
    const QStringList parts = filters.split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << QString("%1 (%2)").arg(parts[i], patterns);
    }
    return out;
}

QStringList QtRequester::ask_files(const QString& title, const QString& proposed_path, const QString& filters,
                                   const QString& selected_filter, Pick pick)
{
    QFileDialog dialog(m_owner, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(pick == Pick::SaveOne ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(pick == Pick::SaveOne   ? QFileDialog::AnyFile
                       : pick == Pick::OpenOne ? QFileDialog::ExistingFile
                                               : QFileDialog::ExistingFiles);
    const QStringList name_filters = qt_name_filters(filters);
    dialog.setNameFilters(name_filters);
    for (const QString& name_filter : name_filters) {
        if (!selected_filter.isEmpty() && name_filter.startsWith(selected_filter + " ("))
            dialog.selectNameFilter(name_filter);
    }
    if (!proposed_path.isEmpty()) {
        const QFileInfo proposed(proposed_path);
        dialog.setDirectory(proposed.absolutePath());
        if (!proposed.fileName().isEmpty())
            dialog.selectFile(proposed.fileName());
    }
    if (pick == Pick::SaveOne) {
        // A name typed without an extension gets the one of the filter chosen, as desktop save requesters do.
        const QStringList parts = filters.split('|');
        const auto suffix_of = [&](const QString& name_filter) {
            const qsizetype index = name_filters.indexOf(name_filter);
            const QString pattern = parts.value(2 * index + 1).section(';', 0, 0);
            return index >= 0 && pattern.startsWith("*.") ? pattern.mid(2) : QString();
        };
        dialog.setDefaultSuffix(suffix_of(dialog.selectedNameFilter()));
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, suffix_of](const QString& name_filter) { dialog.setDefaultSuffix(suffix_of(name_filter)); });
    }
    shell::run_modal(dialog);
    if (dialog.result() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtRequester::ask_save_file(const QString& title, const QString& proposed_path, const QString& filters)
{
    return ask_files(title, proposed_path, filters, QString(), Pick::SaveOne).value(0);
}

QString QtRequester::ask_open_file(const QString& title, const QString& proposed_path, const QString& filters,
                                   const QString& selected_filter)
{
    return ask_files(title, proposed_path, filters, selected_filter, Pick::OpenOne).value(0);
}

QStringList QtRequester::ask_open_files(const QString& title, const QString& proposed_path, const QString& filters)
{
    return ask_files(title, proposed_path, filters, QString(), Pick::OpenMany);
}

bool QtRequester::ask_yes_no(const QString& title, const QString& text, shell::Icon icon, shell::Preset preset)
{
    QMessageBox box(message_icon(icon), title, text, QMessageBox::Yes | QMessageBox::No, m_owner);
    if (preset == shell::Preset::No)
        box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    shell::run_modal(box);
    return box.result() == QMessageBox::Yes;
}

void QtRequester::show_message(const QString& title, const QString& text, shell::Icon icon)
{
    QMessageBox box(message_icon(icon), title, text, QMessageBox::Ok, m_owner);
    shell::run_modal(box);
}

QString QtRequester::ask_text(const QString& title, const QString& prompt, const QString& initial)
{
    shell::InputRequester requester(title, prompt, initial, m_owner);
    shell::run_modal(requester);
    return requester.answer();
}

QString QtRequester::ask_choice(const QString& title, const QString& prompt, const QStringList& items)
{
    QInputDialog dialog(m_owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    // A few choices (ZX or SAM) in a small drop-down list; many (an archive's images) in a list that shows them.
    if (items.size() > FEW_CHOICES)
        dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    shell::run_modal(dialog);
    return dialog.result() == QDialog::Accepted ? dialog.textValue() : QString();
}

} // namespace platform
