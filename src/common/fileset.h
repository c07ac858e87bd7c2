#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace lintaro {

// One file of a set: where it goes and what it holds.
struct OutputFile
{
    QString path;
    QByteArray bytes;
};

// Writes the files of one run as a whole: every file is written beside its
// target first, and the targets are replaced only when all were written, so
// a failure (a full disk, a name too long) leaves yesterday's set as it was.
//
// The one exception: a target whose folder admits no new file but that may
// itself be written (a shared install) is written in place, after every other
// target was replaced. If such a write fails, the set may be mixed, and the
// message says so.
//
// Throws Failure("Cannot create file <path>") naming the file that failed.
// fileWritten hears of each target once it holds its new bytes, in order of
// replacement. Returns the targets in that order.
QStringList writeFileSet(const QList<OutputFile> &files,
                         const std::function<void(const QString &path)> &fileWritten = {});

namespace fileset {

// Whether a target that cannot be replaced may still be written in place: an
// existing regular file (or a link to one) that this process may write.
bool writableInPlace(const QString &path);

// "Cannot create file <path>".
QString cannotCreate(const QString &path);

// The line added when other targets of the set already hold their new bytes.
QString mixedSetNote();

// The message for a target whose write in place failed; mixedSet when other
// targets of the set already hold their new bytes.
QString inPlaceFailed(const QString &path, bool mixedSet);

} // namespace fileset

} // namespace lintaro
