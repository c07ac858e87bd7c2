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
    const int measured = table.columnCount() - 1; // the last column is left to the stretch
    if (measured <= 0)
        return;
    // Row by row over the cells each line filled, so a short line under a
    // wide first line costs nothing.
    std::vector<int> widest(size_t(measured), 0);
    for (int r = 1; r < table.rowCount(); ++r) {
        const int filled = std::min(table.filledColumnCount(r), measured);
        for (int c = 0; c < filled; ++c) {
            const QStringView cell = table.cellView(c, r);
            if (!cell.isEmpty())
                widest[size_t(c)] = std::max(widest[size_t(c)], measure.textWidth(cell));
        }
    }
    for (int c = 0; c < measured; ++c) {
        // A cell wider than any screen only comes from a damaged file.
        table.setColumnWidth(c, std::min(widest[size_t(c)] + 10, kMaxStoredWidth));
    }
}

} // namespace lintaro
