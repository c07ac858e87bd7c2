#include "rowuse.h"

#include "common/textfile.h"
#include "schedule/scheduletable.h"

#include <QStringList>

#include <algorithm>

namespace lintaro {

bool RowSelection::contains(int row) const
{
    for (const auto &[first, last] : ranges) {
        if (row < first)
            return false;
        if (row <= last)
            return true;
    }
    return false;
}

int RowSelection::rowCount() const
{
    int count = 0;
    for (const auto &[first, last] : ranges)
        count += last - first + 1;
    return count;
}

RowSelection RowSelection::fromRanges(QList<std::pair<int, int>> ranges)
{
    std::sort(ranges.begin(), ranges.end());
    RowSelection selection;
    for (const auto &[first, last] : ranges) {
        if (!selection.ranges.isEmpty() && first <= selection.ranges.last().second + 1)
            selection.ranges.last().second = std::max(selection.ranges.last().second, last);
        else
            selection.ranges.append({ first, last });
    }
    return selection;
}

RowUse rowUse(const ScheduleTable &table, int row, const RowSelection *selection)
{
    if (table.isRowHidden(row))
        return RowUse::Hidden;
    if (selection && !selection->contains(row))
        return RowUse::Skipped;
    const int source = table.sourceColumn();
    if (source < 0 || table.isMergedCell(source, row)
        || textfile::trimmedControl(table.cellView(source, row)).isEmpty())
        return RowUse::Empty;
    return RowUse::Converted;
}

QString emptyRowsText(int count)
{
    return QStringLiteral("строк без ролика: ") + QString::number(count);
}

QString rowSelectionText(const ScheduleTable &table, const RowSelection &selection)
{
    QStringList ranges;
    int shown = 0;
    for (const auto &[first, last] : selection.ranges) {
        ranges.append(first == last ? QString::number(first)
                                    : QString::number(first) + u'\u2013' + QString::number(last));
        for (int r = first; r <= last; ++r)
            shown += table.isRowHidden(r) ? 0 : 1;
    }
    return QStringLiteral("Строки ") + ranges.join(QStringLiteral(", ")) + QStringLiteral(": ")
        + QString::number(shown);
}

} // namespace lintaro
