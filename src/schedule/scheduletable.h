#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <set>
#include <utility>
#include <vector>

namespace lintaro {

inline const QString kSourceCaption = QStringLiteral("Источник");
inline const QString kSeparatorCaption = QStringLiteral("Разд.");

// The working copy of one broadcast schedule. Row 0 is the header row, holding
// each column's role caption; rows 1 and on are the data rows, one per record
// of the schedule file or row of the workbook's sheet. Each data row keeps its cells in one string with the
// bounds of the fields its line held beside it; the cells after those are
// empty and cost nothing. So a schedule costs a few times its file size, also
// when its first line is far wider than the others.
class ScheduleTable
{
public:
    ScheduleTable() = default;
    ScheduleTable(int columnCount, int dataRowCount);

    int columnCount() const { return m_columnCount; }
    // Header row included, as the grid counts rows.
    int rowCount() const { return int(m_rows.size()) + 1; }
    int dataRowCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_columnCount == 0; }

    // Cells from this column on are empty in the row (the header row counts
    // every column). Lets a reader skip what a short line never held.
    int filledColumnCount(int row) const;

    QString cell(int column, int row) const;
    QStringView cellView(int column, int row) const;
    void setCell(int column, int row, const QString &text);

    // Fills data row `row` with its cells laid end to end in `text`: field c
    // runs from bounds[c] to bounds[c + 1]. Fields past the last column are
    // dropped and empty fields at the end cost nothing.
    void setDataRow(int row, QString text, std::vector<quint32> bounds);

    // What the import noticed and the status bar mentions: records of a text
    // file that span lines, formula cells of a workbook stored without a value.
    int multiLineRecords() const { return m_multiLineRecords; }
    void setMultiLineRecords(int count) { m_multiLineRecords = count; }
    int formulasWithoutValue() const { return m_formulasWithoutValue; }
    void setFormulasWithoutValue(int count) { m_formulasWithoutValue = count; }

    int columnWidth(int column) const { return m_widths[column]; }
    void setColumnWidth(int column, int width) { m_widths[column] = width; }
    const std::vector<int> &columnWidths() const { return m_widths; }

    // -1 when no column is the Source column.
    int sourceColumn() const { return m_sourceColumn; }
    void setSourceColumn(int column) { m_sourceColumn = column; }

    QString caption(int column) const { return m_captions[column]; }
    void setCaption(int column, const QString &caption) { m_captions[column] = caption; }
    bool isSourceColumn(int column) const { return m_captions[column] == kSourceCaption; }
    bool isSeparatorColumn(int column) const { return m_captions[column] == kSeparatorCaption; }
    QList<int> separatorColumns() const;

    // A row the workbook hides, and a cell that a vertical merge covers (its
    // text lives in the cell above). Both false unless set; nothing is stored
    // for a table that never sets them.
    void setRowHidden(int row, bool hidden);
    bool isRowHidden(int row) const;
    void setMergedCell(int column, int row, bool merged);
    bool isMergedCell(int column, int row) const;

private:
    struct Row
    {
        QString text;                // the cells, one after another
        // Offsets into text: field c runs from bounds[c] to bounds[c + 1]. Holds
        // one more entry than the row has filled columns, or none at all.
        std::vector<quint32> bounds;
    };

    int m_columnCount = 0;
    QStringList m_captions;
    std::vector<Row> m_rows;
    std::vector<int> m_widths;
    int m_sourceColumn = -1;
    std::vector<bool> m_hiddenRows;              // by row, up to the last hidden one
    std::set<std::pair<int, int>> m_mergedCells; // (row, column)
    int m_multiLineRecords = 0;
    int m_formulasWithoutValue = 0;
};

} // namespace lintaro
