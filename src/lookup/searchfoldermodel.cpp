#include "searchfoldermodel.h"

#include "common/configdir.h"
#include "common/textfile.h"

#include <QDir>
#include <QFileInfo>

namespace lintaro {

SearchFolderModel::SearchFolderModel(QObject *parent) : QAbstractTableModel(parent) {}

QString SearchFolderModel::headerText()
{
    return QStringLiteral("Директории для поиска");
}

int SearchFolderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.rowCount();
}

int SearchFolderModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant SearchFolderModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_list.text(index.row());
    return {};
}

bool SearchFolderModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const QString text = value.toString();
    if (!SearchFolderList::refusal(text).isEmpty())
        return false;
    m_list.setText(index.row(), text);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant SearchFolderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return headerText();
    return {};
}

Qt::ItemFlags SearchFolderModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void SearchFolderModel::load()
{
    const ConfigFilePlace place = configFilePlace(QString::fromLatin1(SearchFolderList::FileName));
    load(place.readPath);
    m_filePath = place.savePath; // the save, and the reload after it, go there
}

void SearchFolderModel::load(const QString &filePath)
{
    m_filePath = filePath;
    SearchFolderList list = m_list;
    if (QFileInfo::exists(filePath))
        list.applyFileBytes(textfile::readAll(filePath));
    else
        list.applyLines({});
    replaceList(list);
}

void SearchFolderModel::save()
{
    textfile::writeAtomically(m_filePath, m_list.fileBytes());
    load(m_filePath);
}

void SearchFolderModel::appendFolder(const QString &text)
{
    beginInsertRows({}, rowCount(), rowCount());
    m_list.appendRow(text);
    endInsertRows();
}

void SearchFolderModel::removeFolder(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (rowCount() > 1) {
        beginRemoveRows({}, row, row);
        m_list.removeRow(row);
        endRemoveRows();
    } else {
        m_list.removeRow(row);
        emit dataChanged(index(0, 0), index(0, 0), {Qt::DisplayRole, Qt::EditRole});
    }
}

void SearchFolderModel::replaceList(const SearchFolderList &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}

} // namespace lintaro
