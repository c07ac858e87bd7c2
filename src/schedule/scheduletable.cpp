#include "scheduletable.h"

namespace lintaro {

ScheduleTable::ScheduleTable(int columnCount, int dataRowCount)
    : m_columnCount(columnCount), m_rows(size_t(dataRowCount)), m_widths(size_t(columnCount), 64)
{
    m_captions.resize(columnCount);
}

int ScheduleTable::filledColumnCount(int row) const
{
    if (row == 0)
        return m_columnCount;
    const size_t bounds = m_rows[size_t(row - 1)].bounds.size();
    return bounds == 0 ? 0 : int(bounds - 1);
}

QStringView ScheduleTable::cellView(int column, int row) const
{
    if (row == 0)
        return m_captions[column];
    const Row &data = m_rows[size_t(row - 1)];
    if (size_t(column) + 1 >= data.bounds.size())
        return {};
    const quint32 begin = data.bounds[size_t(column)];
    return QStringView(data.text).sliced(begin, data.bounds[size_t(column) + 1] - begin);
}

QString ScheduleTable::cell(int column, int row) const
{
    return cellView(column, row).toString();
}

void ScheduleTable::setCell(int column, int row, const QString &text)
{
    if (row == 0) {
        m_captions[column] = text;
        return;
    }
    Row &data = m_rows[size_t(row - 1)];
    if (size_t(column) + 1 >= data.bounds.size()) {
        if (text.isEmpty())
            return;
        // The row grows to hold the column; the cells between stay empty.
        data.bounds.resize(size_t(column) + 2, quint32(data.text.size()));
    }
    const quint32 begin = data.bounds[size_t(column)];
    const quint32 oldLength = data.bounds[size_t(column) + 1] - begin;
    data.text.replace(begin, oldLength, text);
    const qint64 delta = qint64(text.size()) - oldLength;
    for (size_t c = size_t(column) + 1; c < data.bounds.size(); ++c)
        data.bounds[c] = quint32(data.bounds[c] + delta);
}

void ScheduleTable::setDataRow(int row, QString text, std::vector<quint32> bounds)
{
    Row &data = m_rows[size_t(row - 1)];
    if (bounds.size() > size_t(m_columnCount) + 1)
        bounds.resize(size_t(m_columnCount) + 1);
    // Empty fields at the end read the same as fields the line never had.
    while (bounds.size() > 1 && bounds[bounds.size() - 2] == bounds.back())
        bounds.pop_back();
    if (bounds.size() <= 1) {
        data.text.clear();
        data.bounds.clear();
        return;
    }
    text.truncate(bounds.back());
    text.squeeze();
    bounds.shrink_to_fit();
    data.text = std::move(text);
    data.bounds = std::move(bounds);
}

QList<int> ScheduleTable::separatorColumns() const
{
    QList<int> columns;
    for (int c = 0; c < m_columnCount; ++c) {
        if (isSeparatorColumn(c))
            columns.append(c);
    }
    return columns;
}

void ScheduleTable::setRowHidden(int row, bool hidden)
{
    if (size_t(row) >= m_hiddenRows.size()) {
        if (!hidden)
            return;
        m_hiddenRows.resize(size_t(row) + 1, false);
    }
    m_hiddenRows[size_t(row)] = hidden;
}

bool ScheduleTable::isRowHidden(int row) const
{
    return row >= 0 && size_t(row) < m_hiddenRows.size() && m_hiddenRows[size_t(row)];
}

void ScheduleTable::setMergedCell(int column, int row, bool merged)
{
    if (merged)
        m_mergedCells.insert({row, column});
    else
        m_mergedCells.erase({row, column});
}

bool ScheduleTable::isMergedCell(int column, int row) const
{
    return !m_mergedCells.empty() && m_mergedCells.count({row, column}) > 0;
}

} // namespace lintaro
