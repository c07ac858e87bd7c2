#pragma once

#include "lookup/searchfolderlist.h"

#include <QAbstractTableModel>

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
    const QString &filePath() const { return m_filePath; }

    // Reads Folders.cfg from the configuration folder, or from filePath. A
    // missing file gives no rows and no message; an unreadable one throws
    // Failure and leaves the rows as they were.
    void load();
    void load(const QString &filePath);

    // Writes the rows to the file of the last load, then loads it again. A
    // failed write throws Failure and leaves the rows and the old file alone.
    void save();

    void appendFolder(const QString &text);
    void removeFolder(int row);

private:
    void replaceList(const SearchFolderList &list);

    SearchFolderList m_list;
    QString m_filePath;
};

} // namespace lintaro
