#pragma once

#include "schedule/rowuse.h"

#include <QTableView>

#include <optional>

namespace lintaro {

// The schedule grid. Rows are selected as in a spreadsheet: a click sets the
// current cell and clears the selection, Shift+click, a drag or Shift with
// Up/Down/PgUp/PgDn selects the rows from there, Ctrl+click or Ctrl+drag adds
// another range; Esc outside a cell editor clears it. The current cell is
// never selected by itself.
class ScheduleGrid : public QTableView
{
    Q_OBJECT

public:
    explicit ScheduleGrid(QWidget *parent = nullptr);

    // The selected rows, numbered as the table's data rows (1 for the first).
    RowSelection selectedRows() const;
    // The rows a run takes: the selection when it covers two rows or more.
    std::optional<RowSelection> chosenRows() const;

    // Moves the current cell and scrolls it to the top, leaving the selection alone.
    void showRow(const QModelIndex &index);

    // In edit mode a click on the current cell opens its editor.
    void setClickEdits(bool clickEdits) { m_clickEdits = clickEdits; }

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex &index, const QEvent *event = nullptr) const override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_clickEdits = false;
    // A drag keeps the meaning of the press that began it, Ctrl released or not.
    Qt::KeyboardModifiers m_pressModifiers;
    QPersistentModelIndex m_pressedCurrent; // the current cell a plain click was pressed on
};

} // namespace lintaro
