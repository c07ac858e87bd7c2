#pragma once

#include "lookup/directorylisting.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lintaro {

// Folder listings reused within one check run or conversion run, and only
// while a fresh listing would give the same answer: the folder is the same
// one, its modification time is unchanged, and that time lies at least two
// seconds before the moment the listing was taken (a folder changed within
// that window may have changed again unseen, so it is listed anew).
// Create one per run and hand it to the resolver; it holds nothing for longer.
class ListingCache
{
public:
    using Clock = std::function<qint64()>; // milliseconds since the epoch
    static constexpr qint64 SettledMs = 2000;

    ListingCache();
    explicit ListingCache(Clock now);

    // What DirectoryListing::list(pattern) answers at this moment.
    QStringList list(const QString &pattern);

    // How many folder listings were read, for tests and benchmarks.
    int listingsTaken() const { return m_listingsTaken; }

private:
    struct Folder
    {
        DirectoryListing::Stamp stamp;
        qint64 takenAtMs = 0;
        QList<DirectoryListing::Entry> entries;
        // The folded names, one after another, and keys to them sorted by name.
        std::u16string foldedNames;
        struct Key
        {
            // The first eight characters packed so that comparing the numbers
            // compares them; most names differ there, so sorting rarely reads on.
            quint64 head[2];
            quint32 offset;
            quint32 length;
            int entry;
        };
        std::vector<Key> byName;
        std::u16string_view name(const Key &key) const
        {
            return std::u16string_view(foldedNames).substr(key.offset, key.length);
        }
    };

    static void buildIndex(Folder &folder);
    const Folder &folder(const QString &path);

    Clock m_now;
    QHash<QString, Folder> m_folders;
    Folder m_uncached;
    int m_listingsTaken = 0;
};

} // namespace lintaro
