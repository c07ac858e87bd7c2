#include "configfilestate.h"

#include "common/failure.h"
#include "common/filelock.h"
#include "common/textfile.h"

#include <QFileInfo>

namespace lintaro {

QString ConfigFileState::currentPath() const
{
    return QFileInfo::exists(m_place.savePath) ? m_place.savePath : m_place.readPath;
}

QByteArray ConfigFileState::bytesNow() const
{
    const QString path = currentPath();
    return QFileInfo::exists(path) ? textfile::readAll(path) : QByteArray();
}

std::unique_ptr<FileLock> ConfigFileState::lockForWrite() const
{
    if (m_place.savePath.isEmpty())
        return nullptr; // never loaded: the write fails on its own, no lock in the working folder
    auto lock = std::make_unique<FileLock>(FileLock::besideFile(m_place.savePath));
    if (!lock->acquired())
        throw Failure(FileLock::fileBusyText(m_place.savePath));
    return lock;
}

} // namespace lintaro
