#pragma once

#include <QString>
#include <QStringList>

namespace lintaro {

// Separator values become part of file names: the nine characters no file
// name may hold become "_".
QString fileNameSafe(const QString &suffix);

// The name prefix from the file chosen in the save dialog: in its file name
// (never in its folders) everything from the first "^" on is dropped, then
// everything from the first ".psq" (lower case only) on, and for another
// format from the first occurrence of its extension; with separator columns a
// "^" is appended.
QString namePrefix(
    const QString &chosen, bool separatorPresent, const QString &extension = QStringLiteral(".psq"));

// prefix + suffix + extension for every file. A name that an earlier file of
// the same run already has gets "~2", "~3"... before the extension, so no file
// of a run overwrites another (names compare without regard to letter case, as
// on Windows).
QStringList outputFileNames(const QString &prefix, const QStringList &suffixes,
                            const QString &extension = QStringLiteral(".psq"));

} // namespace lintaro
