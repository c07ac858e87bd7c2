#include "cliinteraction.h"

#include <cstdio>

namespace lintaro::cli {

void printError(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stderr);
}

void printOut(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
}

MessageAnswer CliInteraction::message(const QString &, const QString &text, MessageIcon,
                                      MessageButtons buttons)
{
    // A box text may end in a line break; the line's own end is enough.
    QString line = text;
    while (line.endsWith(u'\n'))
        line.chop(1);
    printError(line);
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<QString> CliInteraction::openFile(const FileDialogRequest &)
{
    return std::nullopt;
}

std::optional<QString> CliInteraction::saveFile(const FileDialogRequest &)
{
    return std::nullopt;
}

std::optional<QString> CliInteraction::chooseFolder(const QString &)
{
    return std::nullopt;
}

void CliInteraction::openExternal(const QString &) {}

} // namespace lintaro::cli
