#include "filelock.h"

#include <QDir>
#include <QLockFile>

namespace lintaro {

FileLock::FileLock(const QString &lockPath, int waitMs)
    : m_lock(std::make_unique<QLockFile>(lockPath))
{
    m_lock->setStaleLockTime(StaleMs);
    if (m_lock->tryLock(waitMs))
        return;
    // Only a lock that another holds stops the work; one that cannot be made
    // at all (no rights, no such folder) leaves it to the write to succeed or fail.
    m_busy = m_lock->error() == QLockFile::LockFailedError;
}

FileLock::~FileLock() = default; // QLockFile removes a lock it holds

QString FileLock::besideFile(const QString &path)
{
    return path + QStringLiteral(".lock");
}

QString FileLock::fileBusyText(const QString &path)
{
    return QStringLiteral("Файл занят другой программой: ") + QDir::toNativeSeparators(path);
}

} // namespace lintaro
