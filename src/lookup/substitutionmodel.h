#pragma once

#include "lookup/filepicker.h"
#include "lookup/substitutiontable.h"

#include <QAbstractTableModel>

namespace lintaro {

class SettingsStore;

// The substitution table as the dialog's grid shows it and the substitution
// lookup reads and extends it, with its file Subst.cfg and the shared file
// picker whose current file name is remembered as LastSubst.
// Model row r is data row r + 1; column 0 the names, column 1 the paths.
class SubstitutionModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int NameColumn = 0;
    static constexpr int PathColumn = 1;
    static constexpr const char *LastSubstValue = "LastSubst";

    explicit SubstitutionModel(SettingsStore &settings, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Refuses a text the file cannot carry (see refusal()).
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Why text cannot go into the column, or empty when it can.
    static QString refusal(int column, QStringView text);

    const SubstitutionTable &table() const { return m_table; }
    const QString &filePath() const { return m_filePath; }
    FilePicker &picker() { return m_picker; }
    const FilePicker &picker() const { return m_picker; }

    // LastSubst, when not empty, becomes the picker's file name; then Subst.cfg
    // is read from the configuration folder, or from filePath. A missing file
    // gives no rows and no message; an unreadable one throws Failure and leaves
    // the rows as they were.
    void load();
    void load(const QString &filePath);

    // Writes the table to the file of the last load, then loads it again. A
    // failed write throws Failure and leaves the rows and the old file alone.
    // When the file changed on disk since that load (another program, a
    // colleague), the pairs it gained meanwhile follow the rows, so nothing
    // added outside is lost. Returns how many such pairs were kept, or -1
    // when the file had not changed (judged by content).
    int save();

    // Stores the picker's file name, even when empty, as LastSubst.
    void rememberPickedFile();

    void appendRow();
    void removePair(int row);
    // Puts a path into a row; false (nothing changes) when the file cannot carry it.
    bool setPath(int row, const QString &path);

    // A pair from the resolver's prompt: appended to the pairs on disk now
    // (to the rows and the pairs added outside, when the rows hold changes a
    // failed save left), then saved and reloaded. A failed save throws
    // Failure; the new row stays in the grid.
    void appendPair(const QString &name, const QString &path);

private:
    void replaceTable(const SubstitutionTable &table);
    // The bytes of the file now; empty when there is none.
    QByteArray bytesOnDisk() const;
    // The rows, then every pair of bytes that the last load did not see and
    // the rows do not hold; kept counts them.
    SubstitutionTable withPairsAddedOutside(const QByteArray &bytes, int &kept) const;

    SettingsStore &m_settings;
    SubstitutionTable m_table;
    FilePicker m_picker;
    QString m_filePath;
    // The file as the last load found it, and its pairs.
    QByteArray m_loadedBytes;
    QList<Substitution> m_loadedPairs;
};

} // namespace lintaro
