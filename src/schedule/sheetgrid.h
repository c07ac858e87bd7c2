#pragma once

#include "scheduletable.h"

#include <QString>

#include <map>
#include <vector>

namespace lintaro {

// The cells of one sheet as a reader finds them, before they become a
// schedule table: sparse, so the runs of empty rows and columns a workbook
// writes cost nothing. Bounded: a sheet holding more than the limits throws
// Failure instead of taking all memory.
class SheetGrid
{
public:
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    static constexpr qint64 kMaxCharacters = qint64(256) * 1024 * 1024;
    static constexpr qint64 kMaxCells = qint64(50) * 1000 * 1000;

    // Row and column from 0. An empty text is no cell. Line breaks become
    // blanks and quotes are dropped, as for exported text.
    void setCell(int column, int row, QStringView text);
    void setRowsHidden(int firstRow, int count) { m_hiddenRows.emplace_back(firstRow, count); }
    // A merged area: its first cell's text goes down the first column.
    void addMerge(int firstColumn, int firstRow, int lastColumn, int lastRow);
    void countFormulaWithoutValue() { ++m_formulasWithoutValue; }

    // The table reaches the last row and column with a non-empty cell; a
    // sheet without one gives a table of one empty cell.
    ScheduleTable toTable();

    // What a cell shows: one blank for each line break, no '"'.
    static QString shownText(QString text);

private:
    // Readers deliver cells row by row, left to right: those are packed into
    // their row at once. Any other cell waits in m_late for toTable().
    struct Row
    {
        int index = 0;
        int lastColumn = -1;
        QString text;
        std::vector<quint32> bounds { 0 };
    };
    struct Cell
    {
        int column, row;
        QString text;
    };
    void count(qsizetype characters);
    void place(Row &row, int column, QStringView text);

    std::vector<Row> m_rows; // ascending
    std::vector<Cell> m_late;
    std::vector<std::pair<int, int>> m_hiddenRows; // first row, count
    struct Merge
    {
        int column, firstRow, lastRow;
    };
    std::vector<Merge> m_merges;
    qint64 m_characters = 0;
    qint64 m_cells = 0;
    int m_formulasWithoutValue = 0;
};

} // namespace lintaro
