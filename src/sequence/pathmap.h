#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace lintaro {

// One prefix pair: a clip path here that starts with local is written with
// remote in its place, as the editing station sees the same file.
struct PathMapping
{
    QString local;
    QString remote;

    friend bool operator==(const PathMapping &, const PathMapping &) = default;
};

// The prefix pairs applied to every path written into a sequence file. Lookup
// and probing use the local path; without pairs nothing changes.
class PathMap
{
public:
    PathMap() = default;
    explicit PathMap(QList<PathMapping> pairs)
        : m_pairs(std::move(pairs))
    { }

    const QList<PathMapping> &pairs() const { return m_pairs; }
    bool isEmpty() const { return m_pairs.isEmpty(); }

    // The first pair whose local prefix the path starts with, at a folder
    // boundary, gives the path: the remote prefix and the rest joined at one
    // separator, whatever either side ends with, every separator in the style
    // of the remote side ("\" after a drive or "\\server", "/" otherwise).
    // A Windows local side compares without letter case and takes "/" for
    // "\"; "/" as local side covers every absolute path. Unmatched paths
    // stay as they are.
    QString apply(const QString &path) const;

    // The stored text (the PathMap setting): a JSON array of [local, remote]
    // pairs, which carries any character a path may hold; empty for no pairs.
    QString toStored() const;
    // Throws Failure for a text that is not such an array.
    static PathMap fromStored(const QString &text);

    // LOCAL=REMOTE, split at the first "="; nothing without a "=" or with an
    // empty side.
    static std::optional<PathMapping> parseArgument(const QString &argument);

    // Why a pair cannot be used (an empty side, a line break), or empty.
    static QString pairProblem(const PathMapping &pair);

private:
    QList<PathMapping> m_pairs;
};

} // namespace lintaro
