#include "rowuse.h"

#include "common/textfile.h"
#include "schedule/scheduletable.h"

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

RowUse rowUse(const ScheduleTable &table, int row, const RowSelection *selection)
{
    if (table.isRowHidden(row))
        return RowUse::Hidden;
    if (selection && selection->rowCount() >= 2 && !selection->contains(row))
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

} // namespace lintaro
