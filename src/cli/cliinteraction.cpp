#include "cliinteraction.h"

#include "schedule/rowuse.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace lintaro::cli {

void printText(FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    // A console shows Unicode as it is (its own code page is neither UTF-8 nor
    // the ANSI one); a pipe or a file gets UTF-8, as on Linux.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        QString console = text;
        console.replace(u'\n', QStringLiteral("\r\n"));
        DWORD written = 0;
        WriteConsoleW(handle, reinterpret_cast<const wchar_t *>(console.utf16()), DWORD(console.size()), &written,
                      nullptr);
        return;
    }
#endif
    std::fputs(text.toUtf8().constData(), stream);
}

void printError(const QString &line)
{
    printText(stderr, line + u'\n');
}

void printOut(const QString &line)
{
    printText(stdout, line + u'\n');
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

void printEmptyRows(int count)
{
    if (count > 0)
        printError(emptyRowsText(count));
}

} // namespace lintaro::cli
