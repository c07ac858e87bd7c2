#pragma once

#include "lookup/directorylisting.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QFileSystemWatcher;

namespace lintaro {

// Folder listings reused only while a fresh listing would give the same
// answer. A folder is validated once per run, at its first use, and again
// after each question the run asks (revalidate()): between those moments
// every lookup answers from the listing the validation gave, so a folder an
// ingest touches all the time costs one listing per validation, not one per
// lookup. A validation keeps the listing when the folder is the same one, its
// modification time is unchanged and that time lies at least two seconds
// before the listing was taken (a folder changed within that window may have
// changed again unseen). With watchFolders(), a local folder's listing also
// stays valid across that window while the watcher reports no change in it.
// Folders on a network share are listed anew at each validation: their change
// time can lag behind their contents. A run may create its own cache, or the
// program keeps one for its whole life and calls beginRun() before each run.
class ListingCache
{
public:
    using Clock = std::function<qint64()>; // milliseconds since the epoch
    static constexpr qint64 SettledMs = 2000;

    ListingCache();
    explicit ListingCache(Clock now);
    ~ListingCache();

    // What DirectoryListing::list(pattern) answered when the run validated
    // the pattern's folder.
    QStringList list(const QString &pattern);

    // The same for the pattern folder + separator + namePattern of every
    // folder text in turn (an empty text is no folder), as one search of
    // the names of them all: with a thousand folders a search costs little
    // more than with one. Each file as the index of its folder text and its name,
    // in folder order, then in the order its listing gave.
    struct Hit
    {
        int folder;
        QString name;
    };
    QList<Hit> listEach(const QStringList &folderTexts, const QString &namePattern);

    // Before each run: a changed search folder list drops every listing, and
    // every folder is validated again at its first use.
    void beginRun(const QStringList &folderTexts);
    // After a question to the operator, who may have copied clips meanwhile.
    void revalidate() { ++m_validation; }

    // Lets a cache kept between runs learn of changes from the file system
    // (inotify, change notifications) rather than from folder times alone.
    // Needs the thread's event loop to run between runs.
    void watchFolders();
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
        bool trusted = false;    // may outlive its validation
        bool watched = false;
        bool changed = false;    // the watcher saw a change since the listing
        quint64 validation = 0;  // the validation it answers for
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
        quint64 serial = 0; // which listing this is
        std::u16string_view name(const Key &key) const
        {
            return std::u16string_view(foldedNames).substr(key.offset, key.length);
        }
    };
    using FolderPtr = std::shared_ptr<const Folder>;

    // The names of every folder of a folder list in one sorted index, rebuilt
    // only when one of its listings is replaced.
    struct Combined
    {
        QStringList texts;
        quint64 validation = 0;
        QStringList paths;               // per folder text
        std::vector<FolderPtr> folders;  // per folder text, null for an empty one
        std::vector<quint64> serials;
        struct Key
        {
            quint64 head[2];
            quint32 position;
            quint32 key;
        };
        std::vector<Key> keys;
        std::u16string_view name(const Key &key) const
        {
            const Folder &folder = *folders[key.position];
            return folder.name(folder.byName[key.key]);
        }
    };

    static void buildIndex(Folder &folder);
    const Folder &folder(const QString &path);
    const Combined &combined(const QStringList &folderTexts);

    bool stillValid(const QString &path, const Folder &listed) const;
    bool remoteFolder(const QString &path, const DirectoryListing::Stamp &stamp);

    Clock m_now;
    QHash<QString, std::shared_ptr<Folder>> m_folders;
    Combined m_combined;
    QHash<quint64, bool> m_remoteDevices; // for this run: the mount table is read once per device
    quint64 m_validation = 1;
    quint64 m_serial = 0;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    QStringList m_folderTexts;
    int m_listingsTaken = 0;
};

} // namespace lintaro
