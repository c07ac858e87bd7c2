#pragma once

#include "interaction.h"

namespace lintaro {

// Shows the real dialogs, owned by the window that is active at that moment.
class QtInteraction : public Interaction
{
public:
    MessageAnswer message(const QString &caption, const QString &text, MessageIcon icon,
                          MessageButtons buttons) override;
    std::optional<QString> openFile(const FileDialogRequest &request) override;
    std::optional<QString> saveFile(const FileDialogRequest &request) override;
    std::optional<SaveChoice> saveFileChoice(const FileDialogRequest &request) override;
    std::optional<QString> chooseFolder(const QString &title) override;
    void openExternal(const QString &address) override;
    std::optional<int> chooseItem(const ChoiceRequest &request) override;

    // Qt's own dialogs instead of the platform's: the tests drive their
    // fields, which the platform's dialogs do not show to the program.
    void setOwnDialogs(bool own) { m_ownDialogs = own; }

    // "*.csv" becomes "*.[cC][sS][vV]" so that every platform matches any letter
    // case, and "*.*" becomes "*" so that files without a dot are listed too.
    static QString caseInsensitivePattern(const QString &pattern);
    static QString qtFilterText(const QList<FileFilter> &filters);

private:
    bool m_ownDialogs = false;
};

} // namespace lintaro
