#include "listmerge.h"

#include <QHash>

namespace lintaro::listmerge {

namespace {

using Identity = std::pair<QString, int>; // key, rank among entries of that key

// The identity of every entry, in order.
QList<Identity> identities(const QList<Entry> &entries)
{
    QHash<QString, int> seen;
    QList<Identity> ids;
    ids.reserve(entries.size());
    for (const Entry &entry : entries)
        ids.append({ entry.key, seen[entry.key]++ });
    return ids;
}

QHash<Identity, QString> valuesById(const QList<Entry> &entries)
{
    const QList<Identity> ids = identities(entries);
    QHash<Identity, QString> values;
    for (qsizetype i = 0; i < entries.size(); ++i)
        values.insert(ids[i], entries[i].value);
    return values;
}

} // namespace

QList<Entry> merge(const QList<Entry> &base, const QList<Entry> &ours, const QList<Entry> &theirs)
{
    const QHash<Identity, QString> baseValues = valuesById(base);
    const QHash<Identity, QString> ourValues = valuesById(ours);
    QList<Entry> merged;
    QHash<Identity, bool> placed; // our entries already in the result

    const QList<Identity> theirIds = identities(theirs);
    for (qsizetype i = 0; i < theirs.size(); ++i) {
        const Identity &id = theirIds[i];
        const auto inBase = baseValues.constFind(id);
        const auto inOurs = ourValues.constFind(id);
        if (inBase == baseValues.cend()) {
            merged.append(theirs[i]); // added by the other program
            if (inOurs != ourValues.cend() && *inOurs == theirs[i].value)
                placed.insert(id, true); // both added the same entry: once
            continue;
        }
        if (inOurs == ourValues.cend())
            continue; // removed in the dialog
        placed.insert(id, true);
        merged.append({ id.first, *inOurs != *inBase ? *inOurs : theirs[i].value });
    }

    const QList<Identity> ourIds = identities(ours);
    for (qsizetype i = 0; i < ours.size(); ++i) {
        const Identity &id = ourIds[i];
        if (placed.contains(id))
            continue;
        const auto inBase = baseValues.constFind(id);
        // Not in the file: added in the dialog, or changed there while the
        // other program removed it (a removal left alone goes).
        if (inBase == baseValues.cend() || *inBase != ours[i].value)
            merged.append(ours[i]);
    }
    return merged;
}

Counts outsideChanges(const QList<Entry> &base, const QList<Entry> &theirs)
{
    const QHash<Identity, QString> baseValues = valuesById(base);
    const QHash<Identity, QString> theirValues = valuesById(theirs);
    Counts counts;
    for (auto it = theirValues.cbegin(); it != theirValues.cend(); ++it) {
        const auto inBase = baseValues.constFind(it.key());
        if (inBase == baseValues.cend())
            ++counts.added;
        else if (*inBase != it.value())
            ++counts.changed;
    }
    for (auto it = baseValues.cbegin(); it != baseValues.cend(); ++it) {
        if (!theirValues.contains(it.key()))
            ++counts.removed;
    }
    return counts;
}

QString outsideChangesText(const Counts &counts, bool withChanged)
{
    QString text = QStringLiteral("Файл изменен другой программой: добавлено %1").arg(counts.added);
    if (withChanged)
        text += QStringLiteral(", изменено %1").arg(counts.changed);
    return text + QStringLiteral(", удалено %1").arg(counts.removed);
}

} // namespace lintaro::listmerge
