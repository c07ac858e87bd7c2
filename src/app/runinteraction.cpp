#include "runinteraction.h"

namespace lintaro {

MessageAnswer RunInteraction::message(const QString &caption, const QString &text, MessageIcon icon,
                                      MessageButtons buttons)
{
    m_beforeAsking();
    return m_inner.message(caption, text, icon, buttons);
}

std::optional<QString> RunInteraction::openFile(const FileDialogRequest &request)
{
    m_beforeAsking();
    return m_inner.openFile(request);
}

std::optional<QString> RunInteraction::saveFile(const FileDialogRequest &request)
{
    m_beforeAsking();
    return m_inner.saveFile(request);
}

std::optional<SaveChoice> RunInteraction::saveFileChoice(const FileDialogRequest &request)
{
    m_beforeAsking();
    return m_inner.saveFileChoice(request);
}

std::optional<QString> RunInteraction::chooseFolder(const QString &title)
{
    m_beforeAsking();
    return m_inner.chooseFolder(title);
}

void RunInteraction::openExternal(const QString &address)
{
    m_inner.openExternal(address);
}

} // namespace lintaro
