#pragma once

#include "common/interaction.h"
#include "qtprinters.h"

#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace lintaro::test {

// Answers every dialog from a script and records what was asked. A dialog that
// was not scripted fails the test and is cancelled, so no test ever waits.
class ScriptedInteraction : public Interaction
{
public:
    struct Message
    {
        QString caption;
        QString text;
        MessageIcon icon;
        MessageButtons buttons;
    };
    enum class PickerKind { Open, Save, Folder };
    struct Picker
    {
        PickerKind kind;
        FileDialogRequest request; // for a folder: only the title is set
    };

    // Queue the next answers. A picker answer of nothing is a cancel.
    void answerMessage(MessageAnswer answer) { m_messageAnswers.push_back(answer); }
    void answerPicker(std::optional<QString> path) { m_pickerAnswers.push_back(std::move(path)); }
    // The next list choice: an index, or nothing for Esc.
    void answerChoice(std::optional<int> index) { m_choiceAnswers.push_back(index); }
    // The filter the next save picker leaves chosen; unscripted, the one it offered.
    void answerSaveFilter(int filter) { m_filterAnswers.push_back(filter); }

    // Unscripted message boxes are answered OK (or Cancel for a question)
    // instead of failing the test; pickers always need a script.
    void setAcceptUnscriptedMessages(bool accept) { m_acceptUnscripted = accept; }

    // Runs before each picker is answered, to look at the program mid-command.
    std::function<void(const Picker &)> beforePickerAnswer;

    QList<Message> messages;
    QList<Picker> pickers;
    QList<QString> externalAddresses;
    QList<ChoiceRequest> choices;

    bool scriptUsedUp() const
    {
        return m_messageAnswers.empty() && m_pickerAnswers.empty() && m_choiceAnswers.empty();
    }
    QString lastMessageText() const { return messages.isEmpty() ? QString() : messages.back().text; }

    MessageAnswer message(const QString &caption, const QString &text, MessageIcon icon,
                          MessageButtons buttons) override;
    std::optional<QString> openFile(const FileDialogRequest &request) override;
    std::optional<QString> saveFile(const FileDialogRequest &request) override;
    std::optional<SaveChoice> saveFileChoice(const FileDialogRequest &request) override;
    std::optional<QString> chooseFolder(const QString &title) override;
    void openExternal(const QString &address) override;
    std::optional<int> chooseItem(const ChoiceRequest &request) override;

private:
    std::optional<QString> nextPickerAnswer(const Picker &picker);

    std::deque<MessageAnswer> m_messageAnswers;
    std::deque<std::optional<QString>> m_pickerAnswers;
    std::deque<int> m_filterAnswers;
    std::deque<std::optional<int>> m_choiceAnswers;
    bool m_acceptUnscripted = true;
};

} // namespace lintaro::test
