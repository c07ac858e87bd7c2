#include "qtinteraction.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

namespace lintaro {

namespace {

QWidget *owner()
{
    return QApplication::activeWindow();
}

// A name typed without a dot opens the file of that name when there is one;
// only a name that does not exist gets the default extension. Qt's own default
// suffix would turn an existing "day" into "day.csv".
class FileDialog : public QFileDialog
{
public:
    FileDialog(QWidget *parent, const QString &title, const QString &fallbackSuffix)
        : QFileDialog(parent, title), m_fallbackSuffix(fallbackSuffix)
    {
    }

    void accept() override
    {
        if (!m_fallbackSuffix.isEmpty()) {
            setDefaultSuffix(QString());
            const QStringList typed = selectedFiles();
            const bool exists = typed.size() == 1 && QFileInfo(typed.constFirst()).isFile();
            setDefaultSuffix(exists ? QString() : m_fallbackSuffix);
        }
        QFileDialog::accept();
    }

private:
    QString m_fallbackSuffix;
};

QFileDialog *makeFileDialog(const FileDialogRequest &request, const QStringList &nameFilters, bool ownDialog)
{
    auto *dialog = new FileDialog(owner(), request.title, request.defaultSuffix);
    if (ownDialog)
        dialog->setOption(QFileDialog::DontUseNativeDialog);
    // The labels read as written ("Файлы Excel (*.csv)"); the patterns that
    // match any letter case stay behind them.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters(nameFilters);
    if (request.selectedFilter > 0 && request.selectedFilter < nameFilters.size())
        dialog->selectNameFilter(nameFilters[request.selectedFilter]);
    if (!request.initialFile.isEmpty()) {
        const QFileInfo info(request.initialFile);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.fileName());
    }
    return dialog;
}

// The position of the filter a dialog names as chosen, or -1. Depending on the
// platform and the Qt version, a dialog names it by the text it was given, by
// that text with its blanks simplified, or, with the details hidden, by the
// label alone.
int chosenFilter(const QFileDialog &dialog, const QList<FileFilter> &filters, const QStringList &nameFilters)
{
    const QString chosen = dialog.selectedNameFilter();
    const QStringList reported = dialog.nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (chosen == nameFilters.value(i) || chosen == reported.value(i)
            || chosen == filters[i].description.simplified())
            return int(i);
    }
    return -1;
}

std::optional<QString> runFileDialog(QFileDialog *dialog)
{
    std::optional<QString> chosen;
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        chosen = QDir::toNativeSeparators(dialog->selectedFiles().constFirst());
    return chosen;
}

} // namespace

QString QtInteraction::caseInsensitivePattern(const QString &pattern)
{
    if (pattern == QStringLiteral("*.*"))
        return QStringLiteral("*");
#ifdef Q_OS_WIN
    // Windows matches names without letter case, and its own file dialog
    // knows no "[cC]" classes: they would hide every file.
    return pattern;
#endif
    QString result;
    for (const QChar ch : pattern) {
        if (ch.isLetter() && ch.toLower() != ch.toUpper())
            result += u'[' + ch.toLower() + ch.toUpper() + u']';
        else
            result += ch;
    }
    return result;
}

QString QtInteraction::qtFilterText(const QList<FileFilter> &filters)
{
    QStringList parts;
    for (const FileFilter &filter : filters) {
        QStringList patterns;
        for (const QString &pattern : filter.pattern.split(u';', Qt::SkipEmptyParts))
            patterns.append(caseInsensitivePattern(pattern.trimmed()));
        // Qt reads the patterns from the last parentheses of the text, so the
        // description keeps its own wording and the patterns follow it.
        parts.append(QStringLiteral("%1 (%2)").arg(filter.description, patterns.join(u' ')));
    }
    return parts.join(QStringLiteral(";;"));
}

MessageAnswer QtInteraction::message(const QString &caption, const QString &text, MessageIcon icon,
                                     MessageButtons buttons)
{
    QMessageBox box(owner());
    box.setWindowTitle(caption);
    // Paths and cells are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == MessageButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Ok: return MessageAnswer::Ok;
    default:
        if (buttons == MessageButtons::YesNo)
            return MessageAnswer::No;
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
}

std::optional<QString> QtInteraction::openFile(const FileDialogRequest &request)
{
    const std::unique_ptr<QFileDialog> dialog(
        makeFileDialog(request, qtFilterText(request.filters).split(QStringLiteral(";;")), m_ownDialogs));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(dialog.get());
}

std::optional<QString> QtInteraction::saveFile(const FileDialogRequest &request)
{
    const std::optional<SaveChoice> choice = saveFileChoice(request);
    if (!choice)
        return std::nullopt;
    return choice->path;
}

std::optional<SaveChoice> QtInteraction::saveFileChoice(const FileDialogRequest &request)
{
    const QStringList nameFilters = qtFilterText(request.filters).split(QStringLiteral(";;"));
    const std::unique_ptr<QFileDialog> dialog(makeFileDialog(request, nameFilters, m_ownDialogs));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!request.confirmOverwrite)
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    const std::optional<QString> path = runFileDialog(dialog.get());
    if (!path)
        return std::nullopt;
    return SaveChoice { *path, chosenFilter(*dialog, request.filters, nameFilters) };
}

std::optional<QString> QtInteraction::chooseFolder(const QString &title)
{
    QFileDialog dialog(owner(), title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (m_ownDialogs)
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void QtInteraction::openExternal(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

std::optional<int> QtInteraction::chooseItem(const ChoiceRequest &request)
{
    QDialog dialog(owner());
    dialog.setWindowTitle(request.title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(request.label, &dialog);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    auto *list = new QListWidget(&dialog);
    list->addItems(request.items);
    list->setCurrentRow(std::clamp(request.selected, 0, std::max(0, int(request.items.size()) - 1)));
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    list->setFocus();
    // Enter opens the selected item, Esc cancels: the dialog's own keys.
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return std::nullopt;
    return list->currentRow();
}

} // namespace lintaro
