#include "listingcache.h"

#include <QDateTime>
#include <QDir>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <algorithm>

namespace lintaro {

ListingCache::ListingCache() : ListingCache([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

ListingCache::ListingCache(Clock now) : m_now(std::move(now)) {}

void ListingCache::beginRun(const QStringList &folderTexts)
{
    if (folderTexts != m_folderTexts) {
        m_folders.clear();
        m_folderTexts = folderTexts;
        return;
    }
    m_folders.removeIf([](const QHash<QString, Folder>::iterator it) { return it->remote; });
}

bool ListingCache::isRemoteFolder(const QString &path)
{
    if (path.startsWith(QStringLiteral("\\\\")) || path.startsWith(QStringLiteral("//")))
        return true;
#ifdef Q_OS_WIN
    QString root = QDir::toNativeSeparators(QDir(path).absolutePath()).left(3);
    if (!root.endsWith(u'\\'))
        root += u'\\';
    return GetDriveTypeW(reinterpret_cast<const wchar_t *>(root.utf16())) == DRIVE_REMOTE;
#else
    static const QList<QByteArray> kNetworkTypes = {"nfs", "nfs4", "cifs", "smb", "smb2", "smb3", "smbfs",
                                                   "ncpfs", "afs", "9p", "ceph", "glusterfs", "lustre",
                                                   "fuse.sshfs", "fuse.glusterfs", "fuse.davfs2", "davfs"};
    const QStorageInfo storage(path);
    return storage.isValid() && kNetworkTypes.contains(storage.fileSystemType());
#endif
}

void ListingCache::buildIndex(Folder &folder)
{
    folder.foldedNames.clear();
    folder.byName.clear();
    folder.byName.reserve(folder.entries.size());
    for (int i = 0; i < int(folder.entries.size()); ++i) {
        const QString &name = folder.entries[i].name;
        const quint32 offset = quint32(folder.foldedNames.size());
        // Plain ASCII names, the usual ones, are folded here without a copy;
        // any other goes through the same folding the plain listing uses.
        bool ascii = true;
        for (const QChar ch : name) {
            const char16_t c = ch.unicode();
            if (c >= 0x80) {
                ascii = false;
                break;
            }
            folder.foldedNames.push_back(c >= u'a' && c <= u'z' ? char16_t(c - 32) : c);
        }
        if (!ascii) {
            folder.foldedNames.resize(offset);
            const QString folded = DirectoryListing::folded(name);
            folder.foldedNames.append(reinterpret_cast<const char16_t *>(folded.utf16()), folded.size());
        }
        Folder::Key key{{0, 0}, offset, quint32(folder.foldedNames.size() - offset), i};
        for (quint32 c = 0; c < 8; ++c) {
            const quint64 unit = c < key.length ? folder.foldedNames[offset + c] : 0;
            key.head[c / 4] |= unit << (16 * (3 - c % 4));
        }
        folder.byName.push_back(key);
    }
    std::sort(folder.byName.begin(), folder.byName.end(), [&](const Folder::Key &a, const Folder::Key &b) {
        if (a.head[0] != b.head[0])
            return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1])
            return a.head[1] < b.head[1];
        // No name holds a NUL, so equal heads mean equal first eight characters.
        return folder.name(a).substr(qMin<quint32>(a.length, 8)) < folder.name(b).substr(qMin<quint32>(b.length, 8));
    });
}

const ListingCache::Folder &ListingCache::folder(const QString &path)
{
    const DirectoryListing::Stamp stamp = DirectoryListing::stamp(path);
    auto found = m_folders.find(path);
    if (found != m_folders.end() && stamp.valid && found->stamp == stamp
        && stamp.modifiedMs() <= found->takenAtMs - SettledMs)
        return *found;

    // The clock is read before the folder, so a change made while it is read
    // falls inside the window and the listing is not trusted later.
    Folder fresh;
    fresh.takenAtMs = m_now();
    fresh.stamp = stamp;
    fresh.entries = DirectoryListing::entries(path);
    fresh.remote = isRemoteFolder(path);
    ++m_listingsTaken;
    buildIndex(fresh);
    // Taken again after reading: a change during the read makes the stamps differ.
    if (!stamp.valid || DirectoryListing::stamp(path) != stamp) {
        m_folders.remove(path);
        m_uncached = std::move(fresh);
        return m_uncached;
    }
    return *m_folders.insert(path, std::move(fresh));
}

QStringList ListingCache::list(const QString &pattern)
{
    QString path, namePattern;
    DirectoryListing::splitPattern(pattern, &path, &namePattern);
    const Folder &listed = folder(path);
    const QString foldedPattern = DirectoryListing::folded(namePattern);

    // Names sharing the pattern's fixed start lie together in the sorted index.
    qsizetype fixed = 0;
    while (fixed < foldedPattern.size() && foldedPattern[fixed] != u'*' && foldedPattern[fixed] != u'?')
        ++fixed;
    const std::u16string_view prefix(reinterpret_cast<const char16_t *>(foldedPattern.utf16()), size_t(fixed));
    const auto begin = std::lower_bound(listed.byName.begin(), listed.byName.end(), prefix,
                                        [&](const Folder::Key &key, std::u16string_view p) {
                                            return listed.name(key) < p;
                                        });
    std::vector<int> hits;
    for (auto it = begin; it != listed.byName.end() && listed.name(*it).starts_with(prefix); ++it) {
        const std::u16string_view name = listed.name(*it);
        if (DirectoryListing::matchesFolded(QStringView(name.data(), qsizetype(name.size())), foldedPattern))
            hits.push_back(it->entry);
    }
    std::sort(hits.begin(), hits.end()); // back into the listing's own order

    QStringList names;
    for (const int i : hits) {
        if (DirectoryListing::isListable(path, listed.entries[i]))
            names.append(listed.entries[i].name);
    }
    return names;
}

} // namespace lintaro
