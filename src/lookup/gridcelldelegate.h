#pragma once

#include <QStyledItemDelegate>

#include <functional>

class QTableView;

namespace lintaro {

class Interaction;

// In-place editing for the lookup dialogs' grids. A text the file cannot
// carry is refused with a message; the cell keeps its old text and the editor
// opens again with the refused text, so the operator can mend it.
class GridCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using Refusal = std::function<QString(const QModelIndex &index, const QString &text)>;

    GridCellDelegate(QTableView *view, Interaction &interaction, Refusal refusal);

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // A row whose path is missing shows its text red.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

    // Stores the text of an editor still open, as a close of the dialog must.
    static void commitOpenEditor(QTableView *view);

private:
    QTableView *m_view;
    Interaction &m_interaction;
    Refusal m_refusal;
};

} // namespace lintaro
