#include "sheetgrid.h"

#include "common/failure.h"

#include <algorithm>

namespace lintaro {

QString SheetGrid::shownText(QString text)
{
    text.remove(u'"');
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

void SheetGrid::count(qsizetype characters)
{
    m_characters += characters;
    if (m_characters > kMaxCharacters || ++m_cells > kMaxCells)
        throw Failure(QStringLiteral("Лист слишком велик: в расписании не бывает столько ячеек"));
}

void SheetGrid::place(Row &row, int column, QStringView text)
{
    row.bounds.resize(size_t(column) + 1, quint32(row.text.size()));
    row.text += text;
    row.bounds.push_back(quint32(row.text.size()));
    row.lastColumn = column;
}

void SheetGrid::setCell(int column, int row, QStringView given)
{
    if (given.isEmpty() || row < 0 || column < 0 || row >= kMaxRows || column >= kMaxColumns)
        return;
    count(given.size());
    // Most cells hold nothing to change: those are not copied.
    QString changed;
    const bool plain = std::none_of(
        given.begin(), given.end(), [](QChar c) { return c == u'"' || c == u'\r' || c == u'\n'; });
    if (!plain)
        changed = shownText(given.toString());
    const QStringView shown = plain ? given : QStringView(changed);
    if (m_rows.empty() || m_rows.back().index < row) {
        // Rows of a schedule are alike: room for what the last one held
        // spares growing each row and trimming it again for the table.
        const size_t bounds = m_rows.empty() ? 0 : m_rows.back().bounds.size();
        const qsizetype text = m_rows.empty() ? 0 : m_rows.back().text.size();
        m_rows.emplace_back();
        m_rows.back().index = row;
        m_rows.back().bounds.reserve(bounds);
        m_rows.back().text.reserve(text);
    }
    Row &last = m_rows.back();
    if (last.index == row && last.lastColumn < column)
        place(last, column, shown);
    else
        m_late.push_back({ column, row, shown.toString() });
}

void SheetGrid::addMerge(int firstColumn, int firstRow, int lastColumn, int lastRow)
{
    Q_UNUSED(lastColumn);
    if (firstRow < 0 || firstColumn < 0 || firstRow >= kMaxRows || lastRow <= firstRow)
        return;
    m_merges.push_back({ firstColumn, firstRow, std::min(lastRow, kMaxRows - 1) });
}

ScheduleTable SheetGrid::toTable()
{
    std::vector<std::pair<int, int>> merged; // (column, row) filled from above
    // Cells out of order and merged areas: the rows are unpacked, completed
    // and packed again.
    if (!m_late.empty() || !m_merges.empty()) {
        std::map<int, std::map<int, QString>> rows;
        for (const Row &row : m_rows) {
            for (size_t c = 0; c + 1 < row.bounds.size(); ++c) {
                if (row.bounds[c + 1] > row.bounds[c])
                    rows[row.index][int(c)] = row.text.mid(row.bounds[c], row.bounds[c + 1] - row.bounds[c]);
            }
        }
        m_rows.clear();
        for (Cell &cell : m_late)
            rows[cell.row][cell.column] = std::move(cell.text);
        m_late.clear();
        for (const Merge &merge : m_merges) {
            const auto first = rows.find(merge.firstRow);
            if (first == rows.end() || !first->second.count(merge.column))
                continue;
            const QString text = first->second[merge.column];
            for (int r = merge.firstRow + 1; r <= merge.lastRow; ++r) {
                count(text.size());
                rows[r][merge.column] = text;
                merged.emplace_back(merge.column, r);
            }
        }
        for (const auto &[index, cells] : rows) {
            Row row;
            row.index = index;
            for (const auto &[column, text] : cells)
                place(row, column, text);
            m_rows.push_back(std::move(row));
        }
    }

    int lastRow = -1;
    int lastColumn = -1;
    for (const Row &row : m_rows) {
        if (row.lastColumn < 0)
            continue;
        lastRow = std::max(lastRow, row.index);
        lastColumn = std::max(lastColumn, row.lastColumn);
    }
    ScheduleTable table(std::max(lastColumn + 1, 1), std::max(lastRow + 1, 1));
    for (Row &row : m_rows) {
        if (row.lastColumn >= 0)
            table.setDataRow(row.index + 1, std::move(row.text), std::move(row.bounds));
    }
    m_rows.clear();
    for (const auto &[first, count] : m_hiddenRows) {
        for (int row = first; row < first + count && row <= lastRow; ++row)
            table.setRowHidden(row + 1, true);
    }
    for (const auto &[column, row] : merged)
        table.setMergedCell(column, row + 1, true);
    table.setFormulasWithoutValue(m_formulasWithoutValue);
    return table;
}

} // namespace lintaro
