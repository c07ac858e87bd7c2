#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

namespace lintaro {

// Which of some paths do not exist, found off the caller's thread: a folder
// on a disconnected share can block a look at it for seconds. The answer
// comes back as missingFound on the object's thread; a check started later,
// or the object's end, drops an answer still under way.
class PresenceCheck : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Folder, File };
    // The models' role for a row whose path is missing (true); the grid
    // draws such a row's text red.
    static constexpr int MissingRole = Qt::UserRole + 1;

    explicit PresenceCheck(Kind kind, QObject *parent = nullptr);
    ~PresenceCheck() override;

    void start(const QStringList &paths);

signals:
    void missingFound(const QSet<QString> &missing);

private:
    struct Shared;
    Kind m_kind;
    std::shared_ptr<Shared> m_shared;
};

} // namespace lintaro
