#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace lintaro {

class ScheduleTable;

// The data rows the operator picked in the grid: inclusive row ranges, sorted
// and apart. A pick of fewer than two rows is a click on a cell, not a choice.
struct RowSelection
{
    QList<std::pair<int, int>> ranges;

    bool contains(int row) const;
    int rowCount() const;
};

// What a run does with one data row. Every row but a converted one is passed
// over: not looked up, probed, converted or listed, and never a failure.
// The conversion still reads its separator cells.
enum class RowUse {
    Converted,
    Hidden, // the workbook hides it
    Skipped, // outside the operator's choice of rows
    Empty, // no clip: an empty Source cell, or one covered by a merge
};

// Hidden before Skipped before Empty.
RowUse rowUse(const ScheduleTable &table, int row, const RowSelection *selection = nullptr);

// "строк без ролика: N", what a check or a conversion says of its empty rows.
QString emptyRowsText(int count);

} // namespace lintaro
