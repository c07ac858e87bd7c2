#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace lintaro::test {

// Creates empty files (and the folders above them) under a root folder.
void touchFiles(const QString &folder, const QStringList &names);

// Sets a file's or folder's modification time; folders too, which QFile cannot.
bool setModified(const QString &path, const QDateTime &when);

// Sets a folder's modification time back by the given seconds, as an archive's is.
bool ageFolder(const QString &path, int seconds = 60);

} // namespace lintaro::test
