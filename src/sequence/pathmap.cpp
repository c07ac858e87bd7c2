#include "pathmap.h"

#include "common/failure.h"
#include "sequence/sequencewriter.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace lintaro {

namespace {

bool isSeparator(QChar ch)
{
    return ch == u'/' || ch == u'\\';
}

} // namespace

QString PathMap::apply(const QString &path) const
{
    for (const PathMapping &pair : m_pairs) {
        // Trailing separators say nothing: the pair joins at exactly one.
        QString local = pair.local;
        while (!local.isEmpty() && isSeparator(local.back()))
            local.chop(1);
        if (pair.local.isEmpty())
            continue;
        // A Windows side names its files without letter case and with either slash.
        const bool windows = isWindowsPath(pair.local);
        bool matches = path.size() >= local.size();
        for (qsizetype i = 0; matches && i < local.size(); ++i) {
            const QChar a = path[i];
            const QChar b = local[i];
            matches = windows ? (isSeparator(a) && isSeparator(b)) || a.toCaseFolded() == b.toCaseFolded()
                              : a == b;
        }
        // "/mnt/efir" covers "/mnt/efir/a.avi", not "/mnt/efir2/a.avi"; "/" covers every absolute path.
        if (!matches || (path.size() > local.size() && !isSeparator(path[local.size()]))
            || (local.isEmpty() && path.isEmpty()))
            continue;
        QString rest = path.mid(local.size());
        while (!rest.isEmpty() && isSeparator(rest.front()))
            rest.remove(0, 1);
        QString remote = pair.remote;
        while (remote.size() > 1 && isSeparator(remote.back()) && remote != QStringLiteral("\\\\"))
            remote.chop(1);
        if (remote.size() == 1 && isSeparator(remote.front()))
            remote.clear();
        // The remote side's style: "\\" after a drive or a server, "/" otherwise.
        const QChar separator = isWindowsPath(pair.remote) ? u'\\' : u'/';
        for (QChar &ch : rest) {
            if (ch == u'/' || (ch == u'\\' && (windows || isWindowsPath(path))))
                ch = separator;
        }
        if (rest.isEmpty())
            return remote.isEmpty() ? QString(separator) : remote;
        return remote + separator + rest;
    }
    return path;
}

QString PathMap::toStored() const
{
    if (m_pairs.isEmpty())
        return {};
    QJsonArray array;
    for (const PathMapping &pair : m_pairs)
        array.append(QJsonArray { pair.local, pair.remote });
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

PathMap PathMap::fromStored(const QString &text)
{
    if (text.trimmed().isEmpty())
        return {};
    const auto damaged
        = [] { return Failure(QStringLiteral("Сохраненные пути монтажной станции (PathMap) повреждены")); };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        throw damaged();
    QList<PathMapping> pairs;
    for (const QJsonValue &value : document.array()) {
        const QJsonArray pair = value.toArray();
        if (!value.isArray() || pair.size() != 2 || !pair[0].isString() || !pair[1].isString())
            throw damaged();
        pairs.append({ pair[0].toString(), pair[1].toString() });
    }
    return PathMap(pairs);
}

std::optional<PathMapping> PathMap::parseArgument(const QString &argument)
{
    const qsizetype equals = argument.indexOf(u'=');
    if (equals <= 0 || equals + 1 == argument.size())
        return std::nullopt;
    return PathMapping { argument.left(equals), argument.mid(equals + 1) };
}

QString PathMap::pairProblem(const PathMapping &pair)
{
    if (pair.local.isEmpty() || pair.remote.isEmpty())
        return QStringLiteral("Путь здесь и путь на монтажной станции должны быть указаны оба");
    for (const QString &side : { pair.local, pair.remote }) {
        for (const QChar ch : side) {
            if (ch.unicode() < 32)
                return QStringLiteral("Путь \"%1\" содержит управляющий символ").arg(side);
        }
    }
    return {};
}

} // namespace lintaro
