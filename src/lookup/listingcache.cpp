#include "listingcache.h"

#include <QDateTime>
#include <QDir>
#include <QFileSystemWatcher>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <algorithm>

namespace lintaro {

ListingCache::ListingCache() : ListingCache([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

ListingCache::ListingCache(Clock now) : m_now(std::move(now)) {}

ListingCache::~ListingCache() = default;

void ListingCache::beginRun(const QStringList &folderTexts)
{
    ++m_validation;
    m_remoteDevices.clear(); // a share may be mounted elsewhere now
    if (folderTexts != m_folderTexts) {
        m_folders.clear();
        m_combined = {};
        m_folderTexts = folderTexts;
        if (m_watcher && !m_watcher->directories().isEmpty())
            m_watcher->removePaths(m_watcher->directories());
    }
}

void ListingCache::watchFolders()
{
    if (m_watcher)
        return;
    m_watcher = std::make_unique<QFileSystemWatcher>();
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, m_watcher.get(),
                     [this](const QString &path) {
                         if (const auto it = m_folders.find(path); it != m_folders.end())
                             (*it)->changed = true;
                     });
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

namespace {

// Names sharing a pattern's fixed start lie together in a sorted index.
std::u16string_view fixedStart(const QString &foldedPattern)
{
    qsizetype fixed = 0;
    while (fixed < foldedPattern.size() && foldedPattern[fixed] != u'*' && foldedPattern[fixed] != u'?')
        ++fixed;
    return std::u16string_view(reinterpret_cast<const char16_t *>(foldedPattern.utf16()), size_t(fixed));
}

} // namespace

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

bool ListingCache::remoteFolder(const QString &path, const DirectoryListing::Stamp &stamp)
{
#ifdef Q_OS_WIN
    Q_UNUSED(stamp);
    return isRemoteFolder(path);
#else
    if (!stamp.valid || path.startsWith(QStringLiteral("//")))
        return isRemoteFolder(path);
    const auto known = m_remoteDevices.constFind(stamp.device);
    if (known != m_remoteDevices.constEnd())
        return *known;
    return *m_remoteDevices.insert(stamp.device, isRemoteFolder(path));
#endif
}

bool ListingCache::stillValid(const QString &path, const Folder &listed) const
{
    if (!listed.trusted || listed.remote || listed.changed)
        return false;
    const DirectoryListing::Stamp stamp = DirectoryListing::stamp(path);
    if (!stamp.valid || stamp != listed.stamp)
        return false;
    // Folder times are coarse on some file systems: a change soon after the
    // listing may leave the time as it was. A watcher would have said so.
    return listed.watched || stamp.modifiedMs() <= listed.takenAtMs - SettledMs;
}

const ListingCache::Folder &ListingCache::folder(const QString &path)
{
    auto found = m_folders.find(path);
    if (found != m_folders.end()) {
        Folder &listed = **found;
        if (listed.validation == m_validation)
            return listed;
        if (stillValid(path, listed)) {
            listed.validation = m_validation;
            return listed;
        }
    }

    // The clock is read before the folder, so a change made while it is read
    // falls inside the window and the listing is not trusted later.
    auto fresh = std::make_shared<Folder>();
    fresh->validation = m_validation;
    fresh->serial = ++m_serial;
    fresh->takenAtMs = m_now();
    fresh->stamp = DirectoryListing::stamp(path);
    fresh->remote = remoteFolder(path, fresh->stamp);
    // Watched anew before it is read, so a change during the read is
    // reported; the folder may be another one now at the same path.
    if (m_watcher && found != m_folders.end() && (*found)->watched)
        m_watcher->removePath(path);
    if (m_watcher && !fresh->remote && fresh->stamp.valid)
        fresh->watched = m_watcher->addPath(path);
    fresh->entries = DirectoryListing::entries(path);
    ++m_listingsTaken;
    buildIndex(*fresh);
    // Taken again after reading: a change during the read makes the stamps
    // differ, and the listing answers for this validation only.
    fresh->trusted = fresh->stamp.valid && DirectoryListing::stamp(path) == fresh->stamp;
    return **m_folders.insert(path, std::move(fresh));
}

const ListingCache::Combined &ListingCache::combined(const QStringList &folderTexts)
{
    Combined &all = m_combined;
    if (all.validation == m_validation && all.texts == folderTexts)
        return all;
    if (all.texts != folderTexts) {
        all = {};
        all.texts = folderTexts;
        for (const QString &text : folderTexts) {
            QString path, name;
            DirectoryListing::splitPattern(text + DirectoryListing::separator() + u'x', &path, &name);
            all.paths.append(text.isEmpty() ? QString() : path);
        }
    }
    all.validation = m_validation;
    // Every folder is used by the first search: all are validated now.
    std::vector<quint64> serials;
    for (const QString &path : std::as_const(all.paths)) {
        if (!path.isEmpty())
            folder(path);
    }
    all.folders.clear();
    for (const QString &path : std::as_const(all.paths)) {
        all.folders.push_back(path.isEmpty() ? nullptr : m_folders.value(path));
        serials.push_back(path.isEmpty() ? 0 : all.folders.back()->serial);
    }
    if (serials == all.serials)
        return all;
    all.serials = std::move(serials);
    all.keys.clear();
    size_t total = 0;
    for (const FolderPtr &listed : all.folders)
        total += listed ? listed->byName.size() : 0;
    all.keys.reserve(total);
    for (quint32 position = 0; position < all.folders.size(); ++position) {
        if (const FolderPtr &listed = all.folders[position]) {
            for (quint32 k = 0; k < listed->byName.size(); ++k)
                all.keys.push_back({{listed->byName[k].head[0], listed->byName[k].head[1]}, position, k});
        }
    }
    std::sort(all.keys.begin(), all.keys.end(), [&](const Combined::Key &a, const Combined::Key &b) {
        if (a.head[0] != b.head[0])
            return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1])
            return a.head[1] < b.head[1];
        return all.name(a) < all.name(b);
    });
    return all;
}

QList<ListingCache::Hit> ListingCache::listEach(const QStringList &folderTexts, const QString &namePattern)
{
    QList<Hit> found;
    // A pattern reaching into a subfolder names other folders than the list's.
    if (namePattern.contains(DirectoryListing::separator()) || namePattern.contains(u'/')) {
        for (int position = 0; position < folderTexts.size(); ++position) {
            if (folderTexts[position].isEmpty())
                continue;
            for (const QString &name : list(folderTexts[position] + DirectoryListing::separator() + namePattern))
                found.append({position, name});
        }
        return found;
    }

    const Combined &all = combined(folderTexts);
    const QString foldedPattern = DirectoryListing::folded(namePattern);
    const std::u16string_view prefix = fixedStart(foldedPattern);
    const auto begin = std::lower_bound(all.keys.begin(), all.keys.end(), prefix,
                                        [&](const Combined::Key &key, std::u16string_view p) {
                                            return all.name(key) < p;
                                        });
    std::vector<std::pair<quint32, int>> hits; // folder text, entry
    for (auto it = begin; it != all.keys.end() && all.name(*it).starts_with(prefix); ++it) {
        const std::u16string_view name = all.name(*it);
        if (DirectoryListing::matchesFolded(QStringView(name.data(), qsizetype(name.size())), foldedPattern))
            hits.emplace_back(it->position, all.folders[it->position]->byName[it->key].entry);
    }
    std::sort(hits.begin(), hits.end());
    for (const auto &[position, entry] : hits) {
        const DirectoryListing::Entry &listed = all.folders[position]->entries[entry];
        if (DirectoryListing::isListable(all.paths[position], listed))
            found.append({int(position), listed.name});
    }
    return found;
}

QStringList ListingCache::list(const QString &pattern)
{
    QString path, namePattern;
    DirectoryListing::splitPattern(pattern, &path, &namePattern);
    const Folder &listed = folder(path);
    const QString foldedPattern = DirectoryListing::folded(namePattern);

    const std::u16string_view prefix = fixedStart(foldedPattern);
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
