#include "gridcelldelegate.h"

#include "common/interaction.h"
#include "lookup/entrycheck.h"
#include "lookup/presencecheck.h"

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

namespace lintaro {

GridCellDelegate::GridCellDelegate(QTableView *view, Interaction &interaction, Refusal refusal)
    : QStyledItemDelegate(view), m_view(view), m_interaction(interaction), m_refusal(std::move(refusal))
{
}

void GridCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line)
        return QStyledItemDelegate::setModelData(editor, model, index);
    const QString text = line->text();
    const QString why = m_refusal(index, text);
    if (why.isEmpty()) {
        model->setData(index, text, Qt::EditRole);
        return;
    }
    m_interaction.message(entrycheck::caption(), why, MessageIcon::Warning);
    if (!m_view->isVisible())
        return;
    // The view closes this editor after we return; open a new one with the text.
    QPointer<QTableView> view = m_view;
    const QPersistentModelIndex at(index);
    QMetaObject::invokeMethod(
        m_view,
        [view, at, text] {
            if (!view || !view->isVisible() || !at.isValid())
                return;
            view->setCurrentIndex(at);
            view->edit(at);
            if (auto *reopened = qobject_cast<QLineEdit *>(view->indexWidget(at)))
                reopened->setText(text);
        },
        Qt::QueuedConnection);
}

void GridCellDelegate::commitOpenEditor(QTableView *view)
{
    QWidget *editor = view->indexWidget(view->currentIndex());
    if (!editor)
        return;
    QAbstractItemDelegate *delegate = view->itemDelegateForIndex(view->currentIndex());
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void GridCellDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(PresenceCheck::MissingRole).toBool())
        option->palette.setColor(QPalette::Text, Qt::red);
}

} // namespace lintaro
