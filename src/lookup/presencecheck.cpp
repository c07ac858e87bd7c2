#include "presencecheck.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>

#include <mutex>
#include <thread>

namespace lintaro {

// What the worker and the object share: the worker answers only while the
// object stands and its check is still the latest.
struct PresenceCheck::Shared
{
    std::mutex mutex;
    PresenceCheck *owner = nullptr;
    quint64 generation = 0;
};

PresenceCheck::PresenceCheck(Kind kind, QObject *parent)
    : QObject(parent)
    , m_kind(kind)
    , m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

PresenceCheck::~PresenceCheck()
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->owner = nullptr;
}

void PresenceCheck::start(const QStringList &paths)
{
    quint64 generation = 0;
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        generation = ++m_shared->generation;
    }
    // Detached: a path that blocks must hold up neither the window nor its close.
    std::thread([shared = m_shared, generation, paths, kind = m_kind] {
        QSet<QString> missing;
        for (const QString &path : paths) {
            if (path.isEmpty() || missing.contains(path))
                continue;
            const QFileInfo info(path);
            if (kind == Kind::Folder ? !info.isDir() : !info.exists())
                missing.insert(path);
        }
        const std::lock_guard<std::mutex> lock(shared->mutex);
        if (!shared->owner || shared->generation != generation)
            return;
        // Queued: posted under the lock, so the owner cannot go in between;
        // a deleted owner drops its pending events.
        PresenceCheck *owner = shared->owner;
        QMetaObject::invokeMethod(
            owner,
            [owner, shared, generation, missing] {
                if (shared->generation == generation)
                    emit owner->missingFound(missing);
            },
            Qt::QueuedConnection);
    }).detach();
}

} // namespace lintaro
