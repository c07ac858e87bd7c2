#pragma once

#include "common/interaction.h"

#include <cstdio>

namespace lintaro::cli {

// The command-line tool never asks: messages go to stderr, every picker is
// cancelled and every question answered "Cancel".
class CliInteraction : public Interaction
{
public:
    MessageAnswer message(const QString &caption, const QString &text, MessageIcon icon,
                          MessageButtons buttons) override;
    std::optional<QString> openFile(const FileDialogRequest &request) override;
    std::optional<QString> saveFile(const FileDialogRequest &request) override;
    std::optional<QString> chooseFolder(const QString &title) override;
    void openExternal(const QString &address) override;
};

// Writes a line to stderr or stdout in the locale's encoding.
// Text for the terminal: UTF-8, or Unicode straight to a Windows console.
void printText(FILE *stream, const QString &text);
void printError(const QString &line);
void printOut(const QString &line);
// The count of rows without a clip on stderr; nothing when there were none.
void printEmptyRows(int count);

} // namespace lintaro::cli
