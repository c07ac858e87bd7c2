#include "substitutionmodel.h"

#include "common/configdir.h"
#include "common/failure.h"
#include "common/filelock.h"
#include "common/textfile.h"
#include "settings/settingsstore.h"

namespace lintaro {

namespace {

// The pairs a save writes: rows with any text.
QList<listmerge::Entry> entriesOf(const SubstitutionTable &table)
{
    QList<listmerge::Entry> pairs;
    for (const Substitution &row : table.rows()) {
        if (!row.name.isEmpty() || !row.path.isEmpty())
            pairs.append({ row.name, row.path });
    }
    return pairs;
}

QList<listmerge::Entry> entriesOf(const QByteArray &bytes)
{
    SubstitutionTable table;
    table.applyFileBytes(bytes);
    return entriesOf(table);
}

} // namespace

SubstitutionModel::SubstitutionModel(SettingsStore &settings, QObject *parent)
    : QAbstractTableModel(parent), m_settings(settings)
{
    connect(&m_presence, &PresenceCheck::missingFound, this, [this](const QSet<QString> &missing) {
        m_missing = missing;
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, PathColumn), {PresenceCheck::MissingRole, Qt::ToolTipRole});
    });
}

QString SubstitutionModel::missingFileText(const QString &path)
{
    return QStringLiteral("файл не существует: ") + path;
}

int SubstitutionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.rowCount();
}

int SubstitutionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant SubstitutionModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Substitution &pair = m_table.row(index.row());
    const bool missing = m_missing.contains(pair.path);
    if (missing && role == PresenceCheck::MissingRole)
        return true;
    if (missing && role == Qt::ToolTipRole)
        return missingFileText(pair.path);
    // A long path shows shortened in the middle; the whole of it as tooltip.
    if (role == Qt::ToolTipRole && index.column() == PathColumn && !pair.path.isEmpty())
        return pair.path;
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return index.column() == NameColumn ? pair.name : pair.path;
}

bool SubstitutionModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const QString text = value.toString();
    if (!refusal(index.column(), text).isEmpty())
        return false;
    if (index.column() == NameColumn)
        m_table.setName(index.row(), text);
    else
        m_table.setPath(index.row(), text);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant SubstitutionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == NameColumn)
        return QStringLiteral("По эфирному листу");
    if (section == PathColumn)
        return QStringLiteral("Имя файла");
    return {};
}

Qt::ItemFlags SubstitutionModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QString SubstitutionModel::refusal(int column, QStringView text)
{
    return column == NameColumn ? SubstitutionTable::nameRefusal(text) : SubstitutionTable::pathRefusal(text);
}

void SubstitutionModel::load()
{
    loadFrom(configFilePlace(QString::fromLatin1(SubstitutionTable::FileName)));
}

void SubstitutionModel::load(const QString &filePath)
{
    loadFrom({ filePath, filePath });
}

void SubstitutionModel::loadFrom(const ConfigFilePlace &place)
{
    m_file.setPlace(place); // the save, and the reload after it, go to place.savePath
    reload();
}

void SubstitutionModel::reload(bool fresh)
{
    const QString remembered = m_settings.read(QString::fromLatin1(LastSubstValue));
    if (!remembered.isEmpty())
        m_picker.setFileName(remembered);
    SubstitutionTable table = fresh ? SubstitutionTable() : m_table;
    const QByteArray bytes = m_file.bytesNow();
    table.applyFileBytes(bytes);
    m_file.setLoadedBytes(bytes);
    m_loadedPairs = entriesOf(table);
    replaceTable(table);
}

SubstitutionTable SubstitutionModel::mergedWith(const QByteArray &bytes) const
{
    SubstitutionTable merged;
    for (const listmerge::Entry &entry :
        listmerge::merge(m_loadedPairs, entriesOf(m_table), entriesOf(bytes)))
        merged.appendRow({ entry.key, entry.value });
    if (merged.rowCount() > 1)
        merged.removeRow(0);
    return merged;
}

std::optional<listmerge::Counts> SubstitutionModel::save()
{
    const std::unique_ptr<FileLock> lock = m_file.lockForWrite();
    return saveLocked();
}

std::optional<listmerge::Counts> SubstitutionModel::saveLocked()
{
    const QByteArray now = m_file.bytesNow();
    if (now == m_file.loadedBytes()) {
        textfile::writeAtomically(m_file.savePath(), m_table.fileBytes());
        reload();
        return std::nullopt;
    }
    textfile::writeAtomically(m_file.savePath(), mergedWith(now).fileBytes());
    const listmerge::Counts outside = listmerge::outsideChanges(m_loadedPairs, entriesOf(now));
    reload(true);
    return outside;
}

void SubstitutionModel::bringUpToDate()
{
    const QByteArray now = m_file.bytesNow();
    if (now == m_file.loadedBytes())
        return;
    if (entriesOf(m_table) == m_loadedPairs) {
        reload(true);
        return;
    }
    // Rows a failed save left: they stay unsaved, now over the file as it is.
    replaceTable(mergedWith(now));
    m_file.setLoadedBytes(now);
    m_loadedPairs = entriesOf(now);
}

void SubstitutionModel::rememberPickedFile()
{
    m_settings.write(QString::fromLatin1(LastSubstValue), m_picker.fileName());
}

void SubstitutionModel::appendRow()
{
    appendToGrid({});
}

void SubstitutionModel::removePair(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (rowCount() > 1) {
        beginRemoveRows({}, row, row);
        m_table.removeRow(row);
        endRemoveRows();
    } else {
        m_table.removeRow(row);
        emit dataChanged(index(0, 0), index(0, 1), {Qt::DisplayRole, Qt::EditRole});
    }
}

bool SubstitutionModel::setPath(int row, const QString &path)
{
    return setData(index(row, PathColumn), path);
}

void SubstitutionModel::appendPair(const QString &name, const QString &path)
{
    std::unique_ptr<FileLock> lock;
    try {
        lock = m_file.lockForWrite();
    } catch (const Failure &) {
        appendToGrid({ name, path }); // the answer stays for the next save
        throw;
    }
    bringUpToDate();
    appendToGrid({ name, path });
    saveLocked();
}

void SubstitutionModel::appendToGrid(const Substitution &pair)
{
    beginInsertRows({}, rowCount(), rowCount());
    m_table.appendRow(pair);
    endInsertRows();
}

void SubstitutionModel::checkPresence()
{
    QStringList paths;
    for (const Substitution &row : m_table.rows())
        paths.append(row.path);
    m_presence.start(paths);
}

void SubstitutionModel::replaceTable(const SubstitutionTable &table)
{
    beginResetModel();
    m_table = table;
    endResetModel();
}

} // namespace lintaro
