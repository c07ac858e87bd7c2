#pragma once

#include "common/interaction.h"

#include <functional>

namespace lintaro {

// Passes every question on to the window's interaction, and first lets the
// window show where the run is, so a prompt never stands over an old row.
class RunInteraction : public Interaction
{
public:
    RunInteraction(Interaction &inner, std::function<void()> beforeAsking)
        : m_inner(inner), m_beforeAsking(std::move(beforeAsking))
    {
    }

    MessageAnswer message(const QString &caption, const QString &text, MessageIcon icon,
                          MessageButtons buttons) override;
    std::optional<QString> openFile(const FileDialogRequest &request) override;
    std::optional<QString> saveFile(const FileDialogRequest &request) override;
    std::optional<SaveChoice> saveFileChoice(const FileDialogRequest &request) override;
    std::optional<QString> chooseFolder(const QString &title) override;
    void openExternal(const QString &address) override;

private:
    Interaction &m_inner;
    std::function<void()> m_beforeAsking;
};

} // namespace lintaro
