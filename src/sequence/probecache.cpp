#include "probecache.h"

namespace lintaro {

ProbeCache::ProbeCache()
{
    m_pool.setMaxThreadCount(MaxInFlight);
}

ProbeCache::~ProbeCache()
{
    m_pool.clear();
    m_pool.waitForDone();
}

QString ProbeCache::key(const QString &clipPath, const QString &audioLocation)
{
    // No path holds a NUL.
    return clipPath + QChar(0) + audioLocation;
}

int ProbeCache::probesStarted() const
{
    const QMutexLocker lock(&m_mutex);
    return m_started;
}

void ProbeCache::prefetch(const QStringList &clipPaths, const QString &audioLocation)
{
    for (const QString &path : clipPaths) {
#ifdef Q_OS_WIN
        // Under Wine a process whose worker threads ran libavformat never
        // exits; until that is understood, those probes stay on the run's
        // thread there. Our own AVI reader still runs ahead.
        if (!path.endsWith(QStringLiteral(".avi"), Qt::CaseInsensitive))
            continue;
#endif
        const QString id = key(path, audioLocation);
        {
            const QMutexLocker lock(&m_mutex);
            if (m_entries.contains(id))
                continue;
            m_entries.insert(id, {});
            ++m_started;
        }
        m_pool.start([this, id, path, audioLocation] {
            try {
                MediaProbe::Result result = MediaProbe::probe(path, audioLocation);
                const QMutexLocker lock(&m_mutex);
                m_entries[id] = {true, std::move(result)};
            } catch (...) {
                // Left to the walk, which probes it again and meets the error itself.
                const QMutexLocker lock(&m_mutex);
                m_entries.remove(id);
            }
            m_ready.wakeAll();
        });
    }
}

MediaProbe::Result ProbeCache::probe(const QString &clipPath, const QString &audioLocation)
{
    const QString id = key(clipPath, audioLocation);
    QMutexLocker lock(&m_mutex);
    for (;;) {
        const auto found = m_entries.constFind(id);
        if (found == m_entries.constEnd())
            break;
        if (found->ready)
            return found->result;
        m_ready.wait(&m_mutex);
    }
    m_entries.insert(id, {});
    ++m_started;
    lock.unlock();
    MediaProbe::Result result;
    try {
        result = MediaProbe::probe(clipPath, audioLocation);
    } catch (...) {
        lock.relock();
        m_entries.remove(id);
        throw;
    }
    lock.relock();
    m_entries[id] = {true, result};
    return result;
}

} // namespace lintaro
