#include "directorylisting.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace lintaro {

QChar DirectoryListing::separator()
{
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

void DirectoryListing::splitPattern(const QString &pattern, QString *folder, QString *namePattern)
{
    qsizetype at = pattern.lastIndexOf(separator());
#ifdef Q_OS_WIN
    at = qMax(at, pattern.lastIndexOf(u'/'));
#endif
    if (at < 0) {
        *folder = QStringLiteral(".");
        *namePattern = pattern;
        return;
    }
    *folder = at == 0 ? QString(separator()) : pattern.left(at);
    *namePattern = pattern.mid(at + 1);
}

QString DirectoryListing::folded(QStringView text)
{
    return text.toString().toUpper();
}

bool DirectoryListing::matchesFolded(QStringView name, QStringView pattern)
{
    // Greedy match with one remembered star: linear in practice, never exponential.
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || (pattern[p] != u'*' && pattern[p] == name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool DirectoryListing::matches(QStringView name, QStringView pattern)
{
    return matchesFolded(folded(name), folded(pattern));
}

QStringList DirectoryListing::list(const QString &pattern)
{
    QString folder, namePattern;
    splitPattern(pattern, &folder, &namePattern);
    const QString foldedPattern = folded(namePattern);
    QStringList names;
    for (const Entry &entry : entries(folder)) {
        if (matchesFolded(folded(entry.name), foldedPattern) && isListable(folder, entry))
            names.append(entry.name);
    }
    return names;
}

#ifdef Q_OS_UNIX

QList<DirectoryListing::Entry> DirectoryListing::entries(const QString &folder)
{
    QList<Entry> result;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return result;
    while (const dirent *item = ::readdir(dir)) {
        if (item->d_name[0] == '.')
            continue;
        // An entry of unknown type costs a request on a share; it is looked at
        // only when its name matches.
        const unsigned char type = item->d_type;
        if (type == DT_REG)
            result.append({QFile::decodeName(item->d_name), Kind::File});
        else if (type == DT_LNK)
            result.append({QFile::decodeName(item->d_name), Kind::Link});
        else if (type == DT_UNKNOWN)
            result.append({QFile::decodeName(item->d_name), Kind::Unknown});
    }
    ::closedir(dir);
    return result;
}

bool DirectoryListing::isListable(const QString &folder, const Entry &entry)
{
    if (entry.kind == Kind::File)
        return true;
    struct stat info;
    const QByteArray path = QFile::encodeName(folder + u'/' + entry.name);
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryListing::canList(const QString &folder)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

DirectoryListing::Stamp DirectoryListing::stamp(const QString &folder)
{
    Stamp result;
    struct stat info;
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return result;
    result.valid = true;
    result.device = quint64(info.st_dev);
    result.inode = quint64(info.st_ino);
    result.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    result.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return result;
}

#else

QList<DirectoryListing::Entry> DirectoryListing::entries(const QString &folder)
{
    QList<Entry> result;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        result.append({info.fileName(), info.isSymLink() ? Kind::Link : Kind::File});
    }
    return result;
}

bool DirectoryListing::isListable(const QString &folder, const Entry &entry)
{
    return entry.kind == Kind::File || QFileInfo(folder + u'/' + entry.name).isFile();
}

bool DirectoryListing::canList(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isReadable();
}

DirectoryListing::Stamp DirectoryListing::stamp(const QString &folder)
{
    Stamp result;
    const QFileInfo info(folder);
    if (!info.isDir())
        return result;
    result.valid = true;
    result.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return result;
}

#endif

} // namespace lintaro
