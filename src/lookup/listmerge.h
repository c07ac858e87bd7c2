#pragma once

#include <QList>
#include <QString>

namespace lintaro {

// Three-way merge of a configuration list that a dialog edited while another
// program changed its file. An entry is known by its key and its rank among
// the entries of that key (the second "Promo" stays the second "Promo"); its
// value is what may change (a pair's path; folders have none).
namespace listmerge {

struct Entry
{
    QString key;
    QString value;
    bool operator==(const Entry &) const = default;
};

// What the other program did to the file since the dialog loaded it.
struct Counts
{
    int added = 0;
    int changed = 0;
    int removed = 0;
    bool any() const { return added + changed + removed > 0; }
    bool operator==(const Counts &) const = default;
};

// base: what the dialog loaded; ours: the dialog's entries now; theirs: the
// file now. An entry the dialog left alone takes the file's state (changed,
// removed); what the dialog changed or removed keeps the dialog's; additions
// of both sides stay. The order is the file's, then the dialog's additions
// (and its changes to entries the file no longer has).
QList<Entry> merge(const QList<Entry> &base, const QList<Entry> &ours, const QList<Entry> &theirs);

Counts outsideChanges(const QList<Entry> &base, const QList<Entry> &theirs);

// The box after such a save: "Файл изменен другой программой: добавлено N,
// изменено N, удалено N"; without "изменено" for entries without values.
QString outsideChangesText(const Counts &counts, bool withChanged);

} // namespace listmerge

} // namespace lintaro
