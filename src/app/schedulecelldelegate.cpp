#include "schedulecelldelegate.h"

#include <QAbstractItemView>
#include <QPainter>

namespace lintaro {

ScheduleCellDelegate::ScheduleCellDelegate(OverPainter overPainter, QObject *keyFilter, QObject *parent)
    : QStyledItemDelegate(parent), m_overPainter(std::move(overPainter)), m_keyFilter(keyFilter)
{
}

void ScheduleCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    QStyleOptionViewItem shown = option;
    if (m_currentDrawnSelected) {
        const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
        if (view && view->currentIndex() == index)
            shown.state |= QStyle::State_Selected;
    }
    QStyledItemDelegate::paint(painter, shown, index);
    painter->save();
    m_overPainter(*painter, option.rect, index);
    painter->restore();
}

QWidget *ScheduleCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (editor)
        editor->installEventFilter(m_keyFilter);
    m_openEditor = editor;
    return editor;
}

void ScheduleCellDelegate::finishEditing()
{
    if (!m_openEditor)
        return;
    QWidget *editor = m_openEditor;
    m_openEditor = nullptr;
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

} // namespace lintaro
