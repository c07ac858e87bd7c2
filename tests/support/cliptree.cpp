#include "cliptree.h"

#include "fixtures.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace lintaro::test {

void touchFiles(const QString &folder, const QStringList &names)
{
    QDir().mkpath(folder);
    for (const QString &name : names)
        writeFile(QDir(folder).filePath(name), QByteArray());
}

bool setModified(const QString &path, const QDateTime &when)
{
#ifdef Q_OS_UNIX
    const qint64 ms = when.toMSecsSinceEpoch();
    timespec times[2];
    times[0].tv_sec = time_t(ms / 1000);
    times[0].tv_nsec = long(ms % 1000) * 1000000;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
#else
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
#endif
}

bool ageFolder(const QString &path, int seconds)
{
    return setModified(path, QDateTime::currentDateTime().addSecs(-seconds));
}

} // namespace lintaro::test
