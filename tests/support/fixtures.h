#pragma once

#include "qtprinters.h"

#include <QByteArray>
#include <QString>

// Skips, with the reason printed, a test whose fixture only Unix offers (a
// file size limit, folder times, descriptors, links, dot files).
#ifdef Q_OS_WIN
#define LINTARO_UNIX_FIXTURE(why) GTEST_SKIP() << "needs a Unix fixture: " << why
#else
#define LINTARO_UNIX_FIXTURE(why) static_cast<void>(0)
#endif

namespace lintaro::test {

// Writes bytes to a file, creating folders as needed; fails the test on error.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Windows-1251 bytes of a text (the test's own literals are UTF-8).
QByteArray cp1251(const QString &text);

bool runningAsRoot();

// Limits the size of files this process may write, while it lives, so that a
// write fails as on a full disk; it works for root too, which ignores
// permissions. SIGXFSZ is ignored meanwhile, so the write returns an error.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    qint64 m_previousSoft = -1;
    void *m_previousHandler = nullptr;
};

// Runs the process as the unprivileged user nobody (65534) while it lives, so
// that folder and file permissions apply as they do for an operator; root
// ignores them, and the tests run as root on CI. Without root the process
// already is unprivileged. active() is false when the switch failed; the
// test then skips with a printed line.
class Unprivileged
{
public:
    Unprivileged();
    ~Unprivileged();
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;
    bool active() const { return m_active; }

    // Lets nobody reach and read a folder made by root (a QTemporaryDir is 0700).
    static void openToEveryone(const QString &folder);

private:
    bool m_active = true;
    bool m_switched = false;
};

// A path that cannot be created by anyone, root included: its parent is a file.
QString uncreatablePath(const QString &existingFile, const QString &name);

} // namespace lintaro::test
