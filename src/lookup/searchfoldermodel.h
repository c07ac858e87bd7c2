#pragma once

#include "lookup/configfilestate.h"
#include "lookup/listmerge.h"
#include "lookup/presencecheck.h"
#include "lookup/searchfolderlist.h"

#include <QAbstractTableModel>

#include <optional>

namespace lintaro {

// The search folder list as the dialog's grid shows it and the bracket search
// reads it, with its file Folders.cfg. Model row r is data row r + 1.
class SearchFolderModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit SearchFolderModel(QObject *parent = nullptr);

    static QString headerText();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Refuses a text the file cannot carry (see SearchFolderList::refusal).
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const SearchFolderList &list() const { return m_list; }
    const QString &filePath() const { return m_file.savePath(); }

    // Reads Folders.cfg from the configuration folder, or from filePath. A
    // missing file gives no rows and no message; an unreadable one throws
    // Failure and leaves the rows as they were.
    void load();
    void load(const QString &filePath);

    // Writes the rows to the file of the last load, then loads it again, all
    // under Folders.cfg.lock. When another program changed the file since
    // that load, the rows are merged with it (see listmerge) and what it did
    // is returned; nothing when the file had not changed (judged by content).
    // A failed write, or a lock held elsewhere, throws Failure and leaves the
    // rows and the old file alone.
    std::optional<listmerge::Counts> save();

    // Follows the file when another program changed it since the last load
    // or save: reloads it, or merges it with rows a failed save left unsaved.
    // Throws Failure when the file cannot be read.
    void bringUpToDate();

    void appendFolder(const QString &text);
    void removeFolder(int row);

    // Looks, off this thread, for folders that do not exist; their rows then
    // show red with the reason as tooltip. Rows edited later are judged by
    // their new text, which is not marked.
    void checkPresence();

private:
    void replaceList(const SearchFolderList &list);
    void loadFrom(const ConfigFilePlace &place);
    // Reads the file over the rows, as a load does; fresh: into an empty
    // table, so that nothing of the rows outlives a file changed elsewhere.
    void reload(bool fresh = false);
    // The rows merged with the file's bytes now.
    SearchFolderList mergedWith(const QByteArray &bytes) const;

    SearchFolderList m_list;
    ConfigFileState m_file;
    // The folders of the last load: the base of a merge.
    QList<listmerge::Entry> m_loadedFolders;
    PresenceCheck m_presence { PresenceCheck::Kind::Folder };
    QSet<QString> m_missing;
};

} // namespace lintaro
