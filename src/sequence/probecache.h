#pragma once

#include "sequence/mediaprobe.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QWaitCondition>

namespace lintaro {

// The probe results of one run, one per clip: a clip on forty rows is read
// once. prefetch() probes clips ahead of the walk on a few worker threads
// (on a share each probe waits mostly for round trips); the walk takes the
// results in its own order on its own thread, so whatever the operator sees
// stays in row order there.
class ProbeCache
{
public:
    static constexpr int MaxInFlight = 8;

    ProbeCache();
    ~ProbeCache(); // drops what is still queued and waits for the probes under way

    // Starts probing the clips not probed yet, in the order given.
    void prefetch(const QStringList &clipPaths, const QString &audioLocation);

    // The clip's result: taken from a worker (waiting for it if need be), or
    // probed here.
    MediaProbe::Result probe(const QString &clipPath, const QString &audioLocation);

    // How many probes were started, for tests and benchmarks.
    int probesStarted() const;

private:
    struct Entry
    {
        bool ready = false;
        MediaProbe::Result result;
    };
    static QString key(const QString &clipPath, const QString &audioLocation);

    mutable QMutex m_mutex;
    QWaitCondition m_ready;
    QHash<QString, Entry> m_entries;
    int m_started = 0;
    QThreadPool m_pool; // last: destroyed first, while the rest still stands
};

} // namespace lintaro
