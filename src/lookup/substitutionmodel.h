#pragma once

#include "lookup/configfilestate.h"
#include "lookup/filepicker.h"
#include "lookup/listmerge.h"
#include "lookup/presencecheck.h"
#include "lookup/substitutiontable.h"

#include <QAbstractTableModel>

#include <optional>

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

    // "файл не существует: PATH"
    static QString missingFileText(const QString &path);

    // Why text cannot go into the column, or empty when it can.
    static QString refusal(int column, QStringView text);

    const SubstitutionTable &table() const { return m_table; }
    const QString &filePath() const { return m_file.savePath(); }
    FilePicker &picker() { return m_picker; }
    const FilePicker &picker() const { return m_picker; }

    // LastSubst, when not empty, becomes the picker's file name; then Subst.cfg
    // is read from the configuration folder, or from filePath. A missing file
    // gives no rows and no message; an unreadable one throws Failure and leaves
    // the rows as they were.
    void load();
    void load(const QString &filePath);

    // Writes the table to the file of the last load, then loads it again, all
    // under Subst.cfg.lock. When another program (a colleague) changed the
    // file since that load, the rows are merged with it (see listmerge: a pair
    // is known by its name and its rank among pairs of that name) and what it
    // did is returned; nothing when the file had not changed (judged by
    // content). A failed write, or a lock held elsewhere, throws Failure and
    // leaves the rows and the old file alone.
    std::optional<listmerge::Counts> save();

    // Follows the file when another program changed it since the last load
    // or save: reloads it, or merges it with rows a failed save left unsaved.
    // Throws Failure when the file cannot be read.
    void bringUpToDate();

    // Stores the picker's file name, even when empty, as LastSubst.
    void rememberPickedFile();

    void appendRow();
    void removePair(int row);

    // Looks, off this thread, for paths whose file does not exist; their rows
    // then show red with the reason as tooltip. A path edited later is judged
    // by its new text, which is not marked.
    void checkPresence();
    // Puts a path into a row; false (nothing changes) when the file cannot carry it.
    bool setPath(int row, const QString &path);

    // A pair from the resolver's prompt: under Subst.cfg.lock, the rows follow
    // the file as it is now (bringUpToDate), the pair is appended, saved and
    // reloaded, so two programs learning pairs at once keep both. A failed
    // save, or a lock held elsewhere, throws Failure; the new row stays in the
    // grid for the next save.
    void appendPair(const QString &name, const QString &path);

private:
    void replaceTable(const SubstitutionTable &table);
    void loadFrom(const ConfigFilePlace &place);
    // Reads the file over the rows, as a load does; fresh: into an empty
    // table, so that nothing of the rows outlives a file changed elsewhere.
    void reload(bool fresh = false);
    // save() with the lock held.
    std::optional<listmerge::Counts> saveLocked();
    // The rows merged with the file's bytes now.
    SubstitutionTable mergedWith(const QByteArray &bytes) const;
    void appendToGrid(const Substitution &pair);

    SettingsStore &m_settings;
    SubstitutionTable m_table;
    FilePicker m_picker;
    ConfigFileState m_file;
    // The pairs of the last load: the base of a merge.
    QList<listmerge::Entry> m_loadedPairs;
    PresenceCheck m_presence { PresenceCheck::Kind::File };
    QSet<QString> m_missing;
};

} // namespace lintaro
