#include "scheduleimport.h"

#include "columnlayout.h"
#include "common/textfile.h"

#include <algorithm>
#include <vector>

namespace lintaro {

ScheduleTable parseSchedule(QStringView text)
{
    std::vector<QStringView> lines;
    textfile::forEachLine(text, [&](QStringView line) { lines.push_back(line); });
    if (lines.empty())
        return {};

    const int columnCount = int(lines.front().count(u';')) + 1;
    ScheduleTable table(columnCount, int(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i)
        table.setDataRowFromLine(int(i) + 1, lines[i]);
    return table;
}

ScheduleTable readScheduleFile(const QString &path)
{
    const QString text = textfile::decode(textfile::readAll(path));
    return parseSchedule(text);
}

void autoSizeColumns(ScheduleTable &table, const TextMeasure &measure)
{
    for (int c = 0; c + 1 < table.columnCount(); ++c) {
        int widest = 0;
        for (int r = 1; r < table.rowCount(); ++r) {
            const QStringView cell = table.cellView(c, r);
            if (!cell.isEmpty())
                widest = std::max(widest, measure.textWidth(cell));
        }
        // A cell wider than any screen only comes from a damaged file.
        table.setColumnWidth(c, std::min(widest + 10, kMaxStoredWidth));
    }
}

} // namespace lintaro
