#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace lintaro {

// Our platform layer for the bracket search: the files of a folder that match
// a wildcard pattern, in the order the file system yields them. "*" stands for
// any run of characters and "?" for one; letter case is ignored (Cyrillic too).
// Regular files and links to regular files are listed; folders, other special
// files and hidden entries (names starting with "." here, the hidden or system
// attribute on Windows) are not.
class DirectoryListing
{
public:
    // Unknown: the file system did not say (sshfs, some NAS shares); looked at
    // only when its name matches.
    enum class Kind { File, Link, Unknown };
    struct Entry
    {
        QString name;
        Kind kind;
    };

    // Identity and modification time of a folder, to tell whether a listing
    // taken earlier still holds.
    struct Stamp
    {
        bool valid = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 modifiedNs = 0; // since the epoch
        qint64 changedNs = 0;  // status change: also moves when times are set by hand
        bool operator==(const Stamp &) const = default;
        qint64 modifiedMs() const { return modifiedNs / 1000000; }
    };

    // "\\" on Windows, "/" elsewhere: the separator put between folder text and code.
    static QChar separator();

    // Splits a pattern at its last separator into the folder and the name
    // pattern. A pattern that starts with its only separator names the root.
    static void splitPattern(const QString &pattern, QString *folder, QString *namePattern);

    // The case-folded form in which names and patterns are compared.
    static QString folded(QStringView text);
    // Wildcard match of a folded name against a folded pattern.
    static bool matchesFolded(QStringView name, QStringView pattern);
    static bool matches(QStringView name, QStringView pattern);

    // The files matching the pattern, read afresh. A folder that does not exist
    // or cannot be read lists nothing.
    static QStringList list(const QString &pattern);

    // Every listable entry of a folder, links not yet resolved.
    static QList<Entry> entries(const QString &folder);
    // Whether a listed entry is a file now: a link must lead to a regular file,
    // an entry of unknown kind must be one or lead to one.
    static bool isListable(const QString &folder, const Entry &entry);

    static Stamp stamp(const QString &folder);

    // Whether the folder exists, is a folder and may be opened for listing.
    static bool canList(const QString &folder);
};

} // namespace lintaro
