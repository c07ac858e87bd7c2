#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>

namespace lintaro {

// Draws a cell the ordinary way, then lets the owner paint over it (role
// colours); editors it creates report their keys to the owner too, so F2
// toggles edit mode even while a cell is being edited. The selection holds
// whole rows, so in edit mode the current cell is drawn as selected here.
class ScheduleCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using OverPainter = std::function<void(QPainter &, const QRect &, const QModelIndex &)>;

    ScheduleCellDelegate(OverPainter overPainter, QObject *keyFilter, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

    // Commits the open editor's text, if one is open, and closes it.
    void finishEditing();

    void setCurrentDrawnSelected(bool drawn) { m_currentDrawnSelected = drawn; }

private:
    bool m_currentDrawnSelected = false;
    mutable QPointer<QWidget> m_openEditor;
    OverPainter m_overPainter;
    QObject *m_keyFilter;
};

} // namespace lintaro
