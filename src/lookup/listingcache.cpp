#include "listingcache.h"

#include <QDateTime>

#include <algorithm>

namespace lintaro {

ListingCache::ListingCache() : ListingCache([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

ListingCache::ListingCache(Clock now) : m_now(std::move(now)) {}

void ListingCache::buildIndex(Folder &folder)
{
    folder.foldedNames.clear();
    folder.foldedNames.reserve(folder.entries.size());
    for (const auto &entry : folder.entries)
        folder.foldedNames.append(DirectoryListing::folded(entry.name));
    folder.byName.resize(folder.entries.size());
    for (int i = 0; i < int(folder.byName.size()); ++i)
        folder.byName[i] = i;
    std::sort(folder.byName.begin(), folder.byName.end(),
              [&](int a, int b) { return folder.foldedNames[a] < folder.foldedNames[b]; });
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
    const QStringView prefix = QStringView(foldedPattern).first(fixed);
    const auto begin = std::lower_bound(listed.byName.begin(), listed.byName.end(), prefix,
                                        [&](int i, QStringView p) { return QStringView(listed.foldedNames[i]) < p; });
    std::vector<int> hits;
    for (auto it = begin; it != listed.byName.end() && listed.foldedNames[*it].startsWith(prefix); ++it) {
        if (DirectoryListing::matchesFolded(listed.foldedNames[*it], foldedPattern))
            hits.push_back(*it);
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
