#include "textfile.h"

#include "cp1251.h"
#include "failure.h"
#include "fileset.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

namespace lintaro::textfile {

QByteArray readAll(const QString &path)
{
    const QString message = QStringLiteral("Cannot open file %1").arg(path);
    // Only regular files (or links to them) are text: opening a named pipe
    // waits for a writer, and a device like /dev/zero never ends. So the type
    // is judged before opening, and once more on the open file.
#ifdef Q_OS_WIN
    // While another program replaces the file, Windows may for a moment show
    // it absent or refuse to share it: try a few times before giving up.
    constexpr int kTries = 10;
#else
    constexpr int kTries = 1; // a rename replaces it whole
#endif
    for (int attempt = 1;; ++attempt) {
        if (QFileInfo(path).isFile()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) {
                if (file.isSequential())
                    throw Failure(message);
                QByteArray bytes = file.readAll();
                if (file.error() != QFileDevice::NoError)
                    throw Failure(message);
                return bytes;
            }
        }
        if (attempt >= kTries)
            throw Failure(message);
        QThread::msleep(20);
    }
}

QByteArrayView untilNul(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.first(nul);
}

QString decode(QByteArrayView bytes)
{
    bytes = untilNul(bytes);
    static constexpr char kBom[] = "\xEF\xBB\xBF";
    if (bytes.startsWith(QByteArrayView(kBom, 3)))
        return QString::fromUtf8(bytes.sliced(3));
    return cp1251::decode(bytes);
}

void forEachLine(QStringView text, const std::function<void(QStringView)> &onLine)
{
    const QChar *data = text.data();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t ch = data[i].unicode();
        if (ch != u'\r' && ch != u'\n')
            continue;
        onLine(text.sliced(start, i - start));
        if (ch == u'\r' && i + 1 < size && data[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        onLine(text.sliced(start));
}

QStringList splitLines(QStringView text)
{
    QStringList lines;
    forEachLine(text, [&](QStringView line) { lines.append(line.toString()); });
    return lines;
}

QStringList readLines(const QString &path)
{
    return splitLines(decode(readAll(path)));
}

QStringView trimmedControl(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

QByteArray encodeLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        const std::optional<QByteArray> encoded = cp1251::encode(line);
        if (!encoded)
            throw Failure(cp1251::unencodableMessage(line));
        bytes += *encoded;
        bytes += "\r\n";
    }
    return bytes;
}

namespace {
// False when the file could not be replaced for now and a later try may do.
bool writeAtomicallyOnce(const QString &path, const QByteArray &bytes);
} // namespace

void writeAtomically(const QString &path, const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    // Windows will not replace a file another program has open, and a reader
    // (a second window bringing its list up to date) holds it for a moment
    // only: try again before giving up.
    constexpr int kTries = 50;
#else
    constexpr int kTries = 1; // a rename replaces an open file too
#endif
    for (int attempt = 1;; ++attempt) {
        if (writeAtomicallyOnce(path, bytes))
            return;
        if (attempt >= kTries)
            throw Failure(QStringLiteral("Stream write error"));
        QThread::msleep(20);
    }
}

namespace {
bool writeAtomicallyOnce(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // Unbuffered, so that a short write (a full disk) is seen here; a buffered
    // one can reach commit() unnoticed and leave a cut file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // A folder that admits no new file, around a file that may be written
        // (a shared install): the file is written in place, the one way it can
        // be saved at all.
        if (!fileset::writableInPlace(path))
            throw Failure(fileset::cannotCreate(path));
        QSaveFile inPlace(path);
        inPlace.setDirectWriteFallback(true);
        if (!inPlace.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
            || inPlace.write(bytes) != bytes.size() || inPlace.error() != QFileDevice::NoError
            || !inPlace.commit())
            throw Failure(fileset::inPlaceFailed(path, false));
        return true;
    }
    if (file.write(bytes) != bytes.size() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        throw Failure(QStringLiteral("Stream write error"));
    }
    if (file.commit())
        return true;
#ifdef Q_OS_WIN
    // Written in full but not put in place: the old file is open elsewhere.
    if (file.error() == QFileDevice::RenameError && QFileInfo(path).isFile())
        return false;
#endif
    throw Failure(QStringLiteral("Stream write error"));
}
} // namespace

} // namespace lintaro::textfile
