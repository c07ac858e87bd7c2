#include "fileset.h"

#include "failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QRandomGenerator>

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace lintaro {

namespace fileset {

bool writableInPlace(const QString &path)
{
    // Tried, not judged by the rights shown: only an open for writing (which
    // truncates nothing here) tells what this process may do.
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::WriteOnly | QIODevice::Append);
}

QString cannotCreate(const QString &path)
{
    return QStringLiteral("Cannot create file %1").arg(path);
}

QString mixedSetNote()
{
    return QStringLiteral("\nДругие файлы набора уже заменены: набор может оказаться смешанным"
                          " из старых и новых файлов.");
}

QString inPlaceFailed(const QString &path, bool mixedSet)
{
    const QString text = cannotCreate(path)
        + QStringLiteral("\nВ папке нельзя создать новый файл, поэтому он записывался поверх старого,"
                         " и эта запись не удалась: файл может быть испорчен.");
    return mixedSet ? text + mixedSetNote() : text;
}

} // namespace fileset

namespace {

// Unbuffered, so that a short write (a full disk) is seen at write() and not
// only when the file is committed.
constexpr QIODevice::OpenMode kWriteMode = QIODevice::WriteOnly | QIODevice::Unbuffered;

template<typename File>
bool writeAll(File &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size() && file.error() == QFileDevice::NoError;
}

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// The target's own name fits the file system's limit: checked before staging,
// so that a name too long fails before any target was replaced, while the
// short staged name never refuses a name the file system accepts.
bool nameFits(const QString &target)
{
    const QFileInfo info(target);
#ifdef Q_OS_UNIX
    long limit = ::pathconf(QFile::encodeName(info.absolutePath()).constData(), _PC_NAME_MAX);
    if (limit <= 0)
        limit = 255;
    return QFile::encodeName(info.fileName()).size() <= limit;
#else
    return info.fileName().size() <= 255; // UTF-16 units, as NTFS counts them
#endif
}

// A new file beside its target, to take the target's place once every file
// of the set was written.
class StagedFile
{
public:
    explicit StagedFile(const QString &target)
        : m_target(QFileInfo(target).isSymLink() ? QFileInfo(target).symLinkTarget() : target)
    {
    }

    ~StagedFile()
    {
        if (m_file.isOpen())
            m_file.close();
        if (!m_replaced && !m_file.fileName().isEmpty())
            QFile::remove(m_file.fileName());
    }

    enum class Outcome { Written, NotCreated, WriteFailed };

    Outcome write(const QByteArray &bytes)
    {
        if (QFileInfo(m_target).isDir() || !nameFits(m_target) || !create())
            return Outcome::NotCreated;
        // A replaced file keeps its own rights; a new one has those the umask leaves.
        const QFileInfo old(m_target);
        if (old.exists())
            m_file.setPermissions(old.permissions());
        if (!writeAll(m_file, bytes) || !m_file.flush())
            return Outcome::WriteFailed;
#ifdef Q_OS_UNIX
        // On disk before it takes the target's place.
        if (::fsync(m_file.handle()) != 0)
            return Outcome::WriteFailed;
#endif
        m_file.close();
        return m_file.error() == QFileDevice::NoError ? Outcome::Written : Outcome::WriteFailed;
    }

    // Takes the target's place in one step; the old file goes with it.
    bool replaceTarget()
    {
        std::error_code error;
        std::filesystem::rename(nativePath(m_file.fileName()), nativePath(m_target), error);
        m_replaced = !error;
        return m_replaced;
    }

private:
    // A short hidden name in the target's folder, so that the rename stays
    // within one file system.
    bool create()
    {
        const QString folder = QFileInfo(m_target).absolutePath() + u'/';
        for (int attempt = 0; attempt < 16; ++attempt) {
            m_file.setFileName(folder
                + QStringLiteral(".lintaro-%1.tmp")
                      .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0')));
            if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
                return true;
            if (QFileInfo::exists(m_file.fileName()))
                continue; // taken by another run: another name
            break;
        }
        m_file.setFileName(QString());
        return false;
    }

    QString m_target;
    QFile m_file;
    bool m_replaced = false;
};

} // namespace

QStringList writeFileSet(const QList<OutputFile> &files, const std::function<void(const QString &)> &fileWritten)
{
    struct Staged
    {
        const OutputFile *file;
        std::unique_ptr<StagedFile> beside; // null: to be written in place
    };
    std::vector<Staged> staged;
    staged.reserve(size_t(files.size()));

    // Every file beside its target first. A staged file that never takes its
    // target's place is removed when it goes out of scope, so a failure here
    // changes no target.
    for (const OutputFile &file : files) {
        auto beside = std::make_unique<StagedFile>(file.path);
        const StagedFile::Outcome outcome = beside->write(file.bytes);
        if (outcome == StagedFile::Outcome::Written)
            staged.push_back({&file, std::move(beside)});
        else if (outcome == StagedFile::Outcome::NotCreated && fileset::writableInPlace(file.path))
            staged.push_back({&file, nullptr}); // no file can be made beside it: in place, last
        else
            throw Failure(fileset::cannotCreate(file.path));
    }

    QStringList replaced;
    const auto report = [&](const QString &path) {
        replaced.append(path);
        if (fileWritten)
            fileWritten(path);
    };
    for (Staged &entry : staged) {
        if (!entry.beside)
            continue;
        // A rename in the target's own folder; it fails only when the disk does.
        if (!entry.beside->replaceTarget()) {
            const QString text = fileset::cannotCreate(entry.file->path);
            throw Failure(replaced.isEmpty() ? text : text + fileset::mixedSetNote());
        }
        report(entry.file->path);
    }
    // Last, the targets that can only be written in place.
    for (const Staged &entry : staged) {
        if (entry.beside)
            continue;
        QSaveFile inPlace(entry.file->path);
        inPlace.setDirectWriteFallback(true);
        if (!inPlace.open(kWriteMode) || !writeAll(inPlace, entry.file->bytes) || !inPlace.commit())
            throw Failure(fileset::inPlaceFailed(entry.file->path, !replaced.isEmpty()));
        report(entry.file->path);
    }
    return replaced;
}

} // namespace lintaro
