#pragma once

#include "scheduletable.h"

#include <QAbstractTableModel>

namespace lintaro {

// The grid's view of the schedule table. Model row r is data row r + 1; the
// header row is shown by the horizontal header, holding the role captions.
class ScheduleModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The column's role caption, for painting data cells by role.
    static constexpr int ColumnCaptionRole = Qt::UserRole + 1;
    // True for a row the workbook hides and for a cell a vertical merge fills
    // from above: the grid shows both apart from the others.
    static constexpr int RowHiddenRole = Qt::UserRole + 2;
    static constexpr int MergedCellRole = Qt::UserRole + 3;

    explicit ScheduleModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const ScheduleTable &table() const { return m_table; }
    void setTable(ScheduleTable table);
    void clear();

    // Changes a column's role caption and repaints its cells.
    void setCaption(int column, const QString &caption);
    void setSourceColumn(int column) { m_table.setSourceColumn(column); }
    // Widths belong to the view; the window copies them here before storing the layout.
    void setColumnWidth(int column, int width) { m_table.setColumnWidth(column, width); }

    // Cells can be edited only in edit mode.
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable) { m_editable = editable; }

private:
    ScheduleTable m_table;
    bool m_editable = false;
};

} // namespace lintaro
