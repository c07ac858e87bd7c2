#include "searchfoldermodel.h"

#include "common/configdir.h"
#include "common/filelock.h"
#include "common/textfile.h"
#include "lookup/clipresolver.h"

namespace lintaro {

namespace {

// The folders a save writes: every row with text. A folder is known by its text.
QList<listmerge::Entry> entriesOf(const SearchFolderList &list)
{
    QList<listmerge::Entry> entries;
    for (const QString &text : list.texts()) {
        if (!text.isEmpty())
            entries.append({ text, {} });
    }
    return entries;
}

QList<listmerge::Entry> entriesOf(const QByteArray &bytes)
{
    SearchFolderList list;
    list.applyFileBytes(bytes);
    return entriesOf(list);
}

} // namespace

SearchFolderModel::SearchFolderModel(QObject *parent) : QAbstractTableModel(parent)
{
    connect(&m_presence, &PresenceCheck::missingFound, this, [this](const QSet<QString> &missing) {
        m_missing = missing;
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {PresenceCheck::MissingRole, Qt::ToolTipRole});
    });
}

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
    const QString &text = m_list.text(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return text;
    if (!m_missing.contains(text))
        return {};
    if (role == PresenceCheck::MissingRole)
        return true;
    if (role == Qt::ToolTipRole)
        return ClipResolver::unavailableText(text);
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
    loadFrom(configFilePlace(QString::fromLatin1(SearchFolderList::FileName)));
}

void SearchFolderModel::load(const QString &filePath)
{
    loadFrom({ filePath, filePath });
}

void SearchFolderModel::loadFrom(const ConfigFilePlace &place)
{
    m_file.setPlace(place); // the save, and the reload after it, go to place.savePath
    reload();
}

void SearchFolderModel::reload(bool fresh)
{
    SearchFolderList list = fresh ? SearchFolderList() : m_list;
    const QByteArray bytes = m_file.bytesNow();
    list.applyFileBytes(bytes);
    m_file.setLoadedBytes(bytes);
    m_loadedFolders = entriesOf(list);
    replaceList(list);
}

SearchFolderList SearchFolderModel::mergedWith(const QByteArray &bytes) const
{
    SearchFolderList merged;
    for (const listmerge::Entry &entry :
        listmerge::merge(m_loadedFolders, entriesOf(m_list), entriesOf(bytes)))
        merged.appendRow(entry.key);
    if (merged.rowCount() > 1)
        merged.removeRow(0);
    return merged;
}

std::optional<listmerge::Counts> SearchFolderModel::save()
{
    const std::unique_ptr<FileLock> lock = m_file.lockForWrite();
    const QByteArray now = m_file.bytesNow();
    if (now == m_file.loadedBytes()) {
        textfile::writeAtomically(m_file.savePath(), m_list.fileBytes());
        reload();
        return std::nullopt;
    }
    textfile::writeAtomically(m_file.savePath(), mergedWith(now).fileBytes());
    const listmerge::Counts outside = listmerge::outsideChanges(m_loadedFolders, entriesOf(now));
    reload(true);
    return outside;
}

void SearchFolderModel::bringUpToDate()
{
    const QByteArray now = m_file.bytesNow();
    if (now == m_file.loadedBytes())
        return;
    if (entriesOf(m_list) == m_loadedFolders) {
        reload(true);
        return;
    }
    // Rows a failed save left: they stay unsaved, now over the file as it is.
    replaceList(mergedWith(now));
    m_file.setLoadedBytes(now);
    m_loadedFolders = entriesOf(now);
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

void SearchFolderModel::checkPresence()
{
    m_presence.start(m_list.texts());
}

void SearchFolderModel::replaceList(const SearchFolderList &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}

} // namespace lintaro
