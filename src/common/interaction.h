#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace lintaro {

// Every modal exchange with the operator goes through this interface: message
// boxes, file pickers and the folder browser. The program shows real dialogs,
// the tests answer from a script and the command-line tool answers on its own,
// so no logic ever opens a window itself.

enum class MessageIcon { None, Information, Warning, Error, Question };
// YesNo has No as its default: a stray Enter keeps things as they are.
enum class MessageButtons { Ok, YesNoCancel, YesNo };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct FileFilter
{
    QString description; // "Файлы Avi (*.avi)"
    QString pattern;     // "*.avi"; several patterns are separated by ';'
};

// Parses the filter text the program's dialogs are described with,
// "Description|pattern|Description|pattern".
QList<FileFilter> parseFilterText(const QString &filterText);

struct FileDialogRequest
{
    QString title;
    QList<FileFilter> filters;
    QString initialFile; // full path or empty; ending in "/", a folder with no file chosen
    QString defaultSuffix;      // without the dot, for a typed name that does not exist; empty for none
    bool confirmOverwrite = true; // save pickers only
    int selectedFilter = 0;       // the filter shown first
};

// A save picker's answer: the file and the position of the filter the
// operator left chosen, -1 when the dialog named a filter it was not given.
struct SaveChoice
{
    QString path;
    int filter = 0;
};

// A choice of one item from a list ("Выбор листа").
struct ChoiceRequest
{
    QString title;
    QString label;
    QList<QString> items;
    int selected = 0; // the item chosen when the window opens
};

class Interaction
{
public:
    virtual ~Interaction() = default;

    virtual MessageAnswer message(const QString &caption, const QString &text, MessageIcon icon,
                                  MessageButtons buttons = MessageButtons::Ok) = 0;

    // The chosen file's full path, or nothing when the operator cancels.
    virtual std::optional<QString> openFile(const FileDialogRequest &request) = 0;
    virtual std::optional<QString> saveFile(const FileDialogRequest &request) = 0;
    // The save picker that also says which filter was chosen; unless a picker
    // knows better, the one the request selected.
    virtual std::optional<SaveChoice> saveFileChoice(const FileDialogRequest &request);

    // The chosen folder's path, or nothing when the operator cancels.
    virtual std::optional<QString> chooseFolder(const QString &title) = 0;

    // Hands an address ("mailto:...") to the platform's handler.
    virtual void openExternal(const QString &address) = 0;

    // The index of the chosen item, or nothing when the operator cancels.
    // Unless an interaction can ask, it cancels.
    virtual std::optional<int> chooseItem(const ChoiceRequest &request);
};

} // namespace lintaro
