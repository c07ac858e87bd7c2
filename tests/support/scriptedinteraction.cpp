#include "scriptedinteraction.h"

#include <gtest/gtest.h>

namespace lintaro::test {

MessageAnswer ScriptedInteraction::message(const QString &caption, const QString &text, MessageIcon icon,
                                           MessageButtons buttons)
{
    messages.append({caption, text, icon, buttons});
    if (!m_messageAnswers.empty()) {
        const MessageAnswer answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return answer;
    }
    if (!m_acceptUnscripted)
        ADD_FAILURE() << "unscripted message box: " << caption.toStdString() << ": " << text.toStdString();
    if (buttons == MessageButtons::YesNo)
        return MessageAnswer::No;
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<QString> ScriptedInteraction::nextPickerAnswer(const Picker &picker)
{
    pickers.append(picker);
    if (beforePickerAnswer)
        beforePickerAnswer(picker);
    if (m_pickerAnswers.empty()) {
        ADD_FAILURE() << "unscripted file or folder picker: " << picker.request.title.toStdString();
        return std::nullopt;
    }
    const bool chosen = m_pickerAnswers.front().has_value();
    const QString path = chosen ? *m_pickerAnswers.front() : QString();
    m_pickerAnswers.pop_front();
    if (!chosen)
        return std::nullopt;
    return path;
}

std::optional<QString> ScriptedInteraction::openFile(const FileDialogRequest &request)
{
    return nextPickerAnswer({PickerKind::Open, request});
}

std::optional<QString> ScriptedInteraction::saveFile(const FileDialogRequest &request)
{
    return nextPickerAnswer({PickerKind::Save, request});
}

std::optional<SaveChoice> ScriptedInteraction::saveFileChoice(const FileDialogRequest &request)
{
    int filter = request.selectedFilter;
    if (!m_filterAnswers.empty()) {
        filter = m_filterAnswers.front();
        m_filterAnswers.pop_front();
    }
    const std::optional<QString> path = saveFile(request);
    if (!path)
        return std::nullopt;
    return SaveChoice{*path, filter};
}

std::optional<QString> ScriptedInteraction::chooseFolder(const QString &title)
{
    FileDialogRequest request;
    request.title = title;
    return nextPickerAnswer({PickerKind::Folder, request});
}

void ScriptedInteraction::openExternal(const QString &address)
{
    externalAddresses.append(address);
}

std::optional<int> ScriptedInteraction::chooseItem(const ChoiceRequest &request)
{
    choices.append(request);
    if (m_choiceAnswers.empty()) {
        ADD_FAILURE() << "unscripted choice: " << request.title.toStdString();
        return std::nullopt;
    }
    const std::optional<int> answer = m_choiceAnswers.front();
    m_choiceAnswers.pop_front();
    return answer;
}

} // namespace lintaro::test
