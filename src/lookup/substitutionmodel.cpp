#include "substitutionmodel.h"

#include "common/configdir.h"
#include "common/textfile.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>

namespace lintaro {

namespace {

// The pairs a save writes: rows with any text.
QList<Substitution> pairsOf(const SubstitutionTable &table)
{
    QList<Substitution> pairs;
    for (const Substitution &row : table.rows()) {
        if (!row.name.isEmpty() || !row.path.isEmpty())
            pairs.append(row);
    }
    return pairs;
}

} // namespace

SubstitutionModel::SubstitutionModel(SettingsStore &settings, QObject *parent)
    : QAbstractTableModel(parent), m_settings(settings)
{
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
    const ConfigFilePlace place = configFilePlace(QString::fromLatin1(SubstitutionTable::FileName));
    load(place.readPath);
    m_filePath = place.savePath; // the save, and the reload after it, go there
}

void SubstitutionModel::load(const QString &filePath)
{
    const QString remembered = m_settings.read(QString::fromLatin1(LastSubstValue));
    if (!remembered.isEmpty())
        m_picker.setFileName(remembered);
    m_filePath = filePath;
    SubstitutionTable table = m_table;
    const QByteArray bytes = bytesOnDisk();
    table.applyFileBytes(bytes);
    m_loadedBytes = bytes;
    m_loadedPairs = pairsOf(table);
    replaceTable(table);
}

QByteArray SubstitutionModel::bytesOnDisk() const
{
    return QFileInfo::exists(m_filePath) ? textfile::readAll(m_filePath) : QByteArray();
}

SubstitutionTable SubstitutionModel::withPairsAddedOutside(const QByteArray &bytes, int &kept) const
{
    SubstitutionTable onDisk;
    onDisk.applyFileBytes(bytes);
    SubstitutionTable table = m_table;
    kept = 0;
    for (const Substitution &pair : pairsOf(onDisk)) {
        if (m_loadedPairs.contains(pair) || table.rows().contains(pair))
            continue;
        table.appendRow(pair);
        ++kept;
    }
    return table;
}

int SubstitutionModel::save()
{
    const QByteArray now = bytesOnDisk();
    int kept = -1;
    const SubstitutionTable table = now == m_loadedBytes ? m_table : withPairsAddedOutside(now, kept);
    textfile::writeAtomically(m_filePath, table.fileBytes());
    load(m_filePath);
    return kept;
}

void SubstitutionModel::rememberPickedFile()
{
    m_settings.write(QString::fromLatin1(LastSubstValue), m_picker.fileName());
}

void SubstitutionModel::appendRow()
{
    beginInsertRows({}, rowCount(), rowCount());
    m_table.appendRow();
    endInsertRows();
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
    // The rows as the last load left them give way to the file as it is now;
    // rows a failed save left unsaved are kept, with what was added outside.
    const QByteArray now = bytesOnDisk();
    if (pairsOf(m_table) == m_loadedPairs) {
        SubstitutionTable onDisk;
        onDisk.applyFileBytes(now);
        replaceTable(onDisk);
    } else {
        int kept = 0;
        replaceTable(withPairsAddedOutside(now, kept));
    }
    m_loadedBytes = now;
    m_loadedPairs = pairsOf(m_table);
    beginInsertRows({}, rowCount(), rowCount());
    m_table.appendRow({name, path});
    endInsertRows();
    save();
}

void SubstitutionModel::replaceTable(const SubstitutionTable &table)
{
    beginResetModel();
    m_table = table;
    endResetModel();
}

} // namespace lintaro
