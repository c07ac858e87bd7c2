#include "scheduletable.h"

namespace lintaro {

ScheduleTable::ScheduleTable(int columnCount, int dataRowCount)
    : m_columnCount(columnCount), m_rows(size_t(dataRowCount)), m_widths(size_t(columnCount), 64)
{
    for (int c = 0; c < columnCount; ++c)
        m_captions.append(QString());
    for (Row &row : m_rows)
        row.bounds.assign(size_t(columnCount) + 1, 0);
}

QStringView ScheduleTable::cellView(int column, int row) const
{
    if (row == 0)
        return m_captions[column];
    const Row &data = m_rows[size_t(row - 1)];
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
    const quint32 begin = data.bounds[size_t(column)];
    const quint32 oldLength = data.bounds[size_t(column) + 1] - begin;
    data.text.replace(begin, oldLength, text);
    const qint64 delta = qint64(text.size()) - oldLength;
    for (size_t c = size_t(column) + 1; c < data.bounds.size(); ++c)
        data.bounds[c] = quint32(data.bounds[c] + delta);
}

void ScheduleTable::setDataRowFromLine(int row, QStringView line)
{
    Row &data = m_rows[size_t(row - 1)];
    data.text.resize(line.size());
    data.bounds.assign(size_t(m_columnCount) + 1, 0);
    QChar *out = data.text.data();
    qsizetype written = 0;
    qsizetype at = 0;
    const qsizetype size = line.size();
    for (int c = 0; c < m_columnCount; ++c) {
        while (at < size) {
            const QChar ch = line[at++];
            if (ch == u';')
                break;
            if (ch != u'"')
                out[written++] = ch;
        }
        data.bounds[size_t(c) + 1] = quint32(written);
    }
    data.text.truncate(written);
    data.text.squeeze();
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

} // namespace lintaro
