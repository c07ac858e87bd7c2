#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace lintaro {

// A lock file held while files are read, changed and written, so that two
// programs (or two operators' Lintaro) never interleave their writes. Another
// holder is waited for up to WaitMs; a lock older than StaleMs is taken over.
// Where no lock file can be made (a folder that admits no new file), nothing
// is held and the work goes on, as an in-place write does.
class FileLock
{
public:
    static constexpr int WaitMs = 5000;
    static constexpr int StaleMs = 60000;

    explicit FileLock(const QString &lockPath, int waitMs = WaitMs);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // False when another holder kept the lock for the whole wait.
    bool acquired() const { return !m_busy; }

    // The lock beside a configuration file: "Subst.cfg.lock".
    static QString besideFile(const QString &path);
    // "Файл занят другой программой: PATH".
    static QString fileBusyText(const QString &path);

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_busy = false;
};

} // namespace lintaro
