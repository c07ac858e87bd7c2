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

// Folder listings reused only while a fresh listing would give the same
// answer: the folder is the same one, its modification time is unchanged, and
// that time lies at least two seconds before the moment the listing was taken
// (a folder changed within that window may have changed again unseen, so it
// is listed anew). A run may create its own, or the program keeps one for its
// whole life and calls beginRun() before each run.
class ListingCache
{
public:
    using Clock = std::function<qint64()>; // milliseconds since the epoch
    static constexpr qint64 SettledMs = 2000;

    ListingCache();
    explicit ListingCache(Clock now);

    // What DirectoryListing::list(pattern) answers at this moment.
    QStringList list(const QString &pattern);

    // Before each run of a cache kept between runs: a changed search folder
    // list drops every listing, and folders on a network share are listed
    // anew, since their change time can lag behind their contents.
    void beginRun(const QStringList &folderTexts);

    // A UNC path or a folder on a network file system.
    static bool isRemoteFolder(const QString &path);

    // How many folder listings were read, for tests and benchmarks.
    int listingsTaken() const { return m_listingsTaken; }

private:
    struct Folder
    {
        DirectoryListing::Stamp stamp;
        qint64 takenAtMs = 0;
        bool remote = false;
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
    QStringList m_folderTexts;
    int m_listingsTaken = 0;
};

} // namespace lintaro
