#pragma once

#include "common/configdir.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace lintaro {

class FileLock;

// The disk side of Folders.cfg or Subst.cfg as its dialog holds it: where the
// file is read and saved, and the bytes its last load or save saw, so that a
// change by another program is noticed before a run and at a save.
class ConfigFileState
{
public:
    void setPlace(const ConfigFilePlace &place) { m_place = place; }
    const QString &savePath() const { return m_place.savePath; }
    // The saved file once it exists, the one read until then.
    QString currentPath() const;

    // The file's bytes now; empty when there is none. Throws Failure when it
    // cannot be read.
    QByteArray bytesNow() const;

    const QByteArray &loadedBytes() const { return m_loadedBytes; }
    void setLoadedBytes(const QByteArray &bytes) { m_loadedBytes = bytes; }

    // The lock of one read-change-write, beside the saved file. Throws
    // Failure("Файл занят другой программой: PATH") when another program
    // holds it for the whole wait.
    std::unique_ptr<FileLock> lockForWrite() const;

private:
    ConfigFilePlace m_place;
    QByteArray m_loadedBytes;
};

} // namespace lintaro
