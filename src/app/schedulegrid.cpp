#include "schedulegrid.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace lintaro {

namespace {

bool isMoveKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

} // namespace

ScheduleGrid::ScheduleGrid(QWidget *parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

QItemSelectionModel::SelectionFlags ScheduleGrid::selectionCommand(
    const QModelIndex &index, const QEvent *event) const
{
    if (selectionMode() != QAbstractItemView::ExtendedSelection)
        return QTableView::selectionCommand(index, event);
    // Moving the current cell from code (a run, the deep check) leaves the selection.
    if (!event)
        return QItemSelectionModel::NoUpdate;
    const auto rows = QItemSelectionModel::Rows;
    if (event->type() == QEvent::MouseMove) {
        if (m_pressModifiers & Qt::ShiftModifier)
            return QItemSelectionModel::SelectCurrent | rows;
        // The view turns the toggle into the press's select or deselect.
        if (m_pressModifiers & Qt::ControlModifier)
            return QItemSelectionModel::ToggleCurrent | rows;
        return QItemSelectionModel::Clear | QItemSelectionModel::SelectCurrent | rows;
    }
    const Qt::KeyboardModifiers modifiers = event->isInputEvent()
        ? static_cast<const QInputEvent *>(event)->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)
        : Qt::NoModifier;
    if (modifiers == Qt::NoModifier) {
        if (event->type() == QEvent::MouseButtonPress) {
            // A plain click clears; a right click (the popup's button) leaves the selection.
            if (static_cast<const QMouseEvent *>(event)->button() != Qt::LeftButton)
                return QItemSelectionModel::NoUpdate;
            return QItemSelectionModel::Clear;
        }
        if (event->type() == QEvent::MouseButtonRelease)
            return QItemSelectionModel::NoUpdate;
        if (event->type() == QEvent::KeyPress && isMoveKey(static_cast<const QKeyEvent *>(event)->key()))
            return QItemSelectionModel::Clear;
    }
    return QTableView::selectionCommand(index, event);
}

RowSelection ScheduleGrid::selectedRows() const
{
    QList<std::pair<int, int>> ranges;
    if (selectionModel()) {
        // Model row r is data row r + 1.
        for (const QItemSelectionRange &range : selectionModel()->selection())
            ranges.append({ range.top() + 1, range.bottom() + 1 });
    }
    return RowSelection::fromRanges(std::move(ranges));
}

std::optional<RowSelection> ScheduleGrid::chosenRows() const
{
    RowSelection rows = selectedRows();
    if (rows.rowCount() < 2)
        return std::nullopt;
    return rows;
}

void ScheduleGrid::showRow(const QModelIndex &index)
{
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index, QAbstractItemView::PositionAtTop);
}

void ScheduleGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier
        && selectionMode() == QAbstractItemView::ExtendedSelection) {
        clearSelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ScheduleGrid::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressModifiers = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    m_pressedCurrent = m_clickEdits && event->button() == Qt::LeftButton
            && event->modifiers() == Qt::NoModifier && index.isValid() && index == currentIndex()
        ? QPersistentModelIndex(index)
        : QPersistentModelIndex();
    QTableView::mousePressEvent(event);
}

void ScheduleGrid::mouseReleaseEvent(QMouseEvent *event)
{
    const bool dragged = state() == QAbstractItemView::DragSelectingState;
    QTableView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (m_pressedCurrent.isValid() && !dragged && index == m_pressedCurrent && state() != EditingState)
        edit(index);
    m_pressedCurrent = QPersistentModelIndex();
}

} // namespace lintaro
