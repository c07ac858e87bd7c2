#include "schedulemodel.h"

namespace lintaro {

ScheduleModel::ScheduleModel(QObject *parent) : QAbstractTableModel(parent) {}

int ScheduleModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.dataRowCount();
}

int ScheduleModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.columnCount();
}

QVariant ScheduleModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_table.cell(index.column(), index.row() + 1);
    case ColumnCaptionRole:
        return m_table.caption(index.column());
    case RowHiddenRole:
        return m_table.isRowHidden(index.row() + 1);
    case MergedCellRole:
        return m_table.isMergedCell(index.column(), index.row() + 1);
    default:
        return {};
    }
}

bool ScheduleModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_editable || role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    m_table.setCell(index.column(), index.row() + 1, value.toString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant ScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_table.columnCount())
        return m_table.caption(section);
    return {};
}

Qt::ItemFlags ScheduleModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_editable)
        flags |= Qt::ItemIsEditable;
    return flags;
}

void ScheduleModel::setTable(ScheduleTable table)
{
    beginResetModel();
    m_table = std::move(table);
    endResetModel();
}

void ScheduleModel::clear()
{
    setTable(ScheduleTable());
}

void ScheduleModel::setCaption(int column, const QString &caption)
{
    if (column < 0 || column >= m_table.columnCount())
        return;
    m_table.setCaption(column, caption);
    emit headerDataChanged(Qt::Horizontal, column, column);
    if (m_table.dataRowCount() > 0)
        emit dataChanged(index(0, column), index(rowCount() - 1, column), {ColumnCaptionRole});
}

} // namespace lintaro
