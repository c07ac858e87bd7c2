#pragma once

// Building the clip archive the lookup benchmarks search: many files, written
// fast, in folders whose times are set back as an archive's are.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <functional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lintaro::bench {

// The shortest of several runs of work, in milliseconds: warm caches, least noise.
inline double bestOf(int repeats, const std::function<void()> &work)
{
    double best = 1e300;
    QElapsedTimer timer;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        timer.start();
        work();
        best = qMin(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

inline bool writeBytes(const QString &path, const QByteArray &bytes = {})
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = bytes.isEmpty() || ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(fd);
    return ok;
#else
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
#endif
}

inline bool setBackAMinute(const QString &path)
{
#ifdef Q_OS_UNIX
    const qint64 ms = QDateTime::currentMSecsSinceEpoch() - 60000;
    timespec times[2];
    times[0].tv_sec = time_t(ms / 1000);
    times[0].tv_nsec = long(ms % 1000) * 1000000;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
#else
    Q_UNUSED(path);
    return true;
#endif
}

// F3R00042.avi: file 42 of folder 3.
inline QString archiveFileName(int folder, int index)
{
    return QStringLiteral("F%1R%2.avi").arg(folder).arg(index, 5, 10, QLatin1Char('0'));
}

// A one-stream clip of 250 frames at 25 a second, as small as a real AVI gets.
inline QByteArray tinyAvi()
{
    const auto le32 = [](quint32 value) {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = char((value >> (8 * i)) & 0xff);
        return bytes;
    };
    const auto chunk = [&](const char *id, const QByteArray &data) {
        QByteArray bytes = QByteArray(id, 4) + le32(quint32(data.size())) + data;
        if (data.size() % 2)
            bytes += '\0';
        return bytes;
    };
    const auto list = [&](const char *form, const char *type, const QByteArray &children) {
        return chunk(form, QByteArray(type, 4) + children);
    };
    QByteArray avih(56, '\0');
    avih.replace(0, 4, le32(40000));
    avih.replace(24, 4, le32(1));
    QByteArray strh(56, '\0');
    strh.replace(0, 4, "vids");
    strh.replace(4, 4, "xvid");
    strh.replace(20, 4, le32(1));
    strh.replace(24, 4, le32(25));
    strh.replace(32, 4, le32(250));
    const QByteArray strl = list("LIST", "strl", chunk("strh", strh) + chunk("strf", QByteArray(40, '\1')));
    const QByteArray hdrl = list("LIST", "hdrl", chunk("avih", avih) + strl);
    const QByteArray movi = list("LIST", "movi", chunk("00dc", QByteArray(100, '\x7f')));
    return list("RIFF", "AVI ", hdrl + movi + chunk("idx1", QByteArray(16, '\0')));
}

} // namespace lintaro::bench
