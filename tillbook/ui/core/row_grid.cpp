#include "row_grid.h"

#include <QHeaderView>

namespace tb {

RowGrid::RowGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setFixedWidth(14);
}

QModelIndex RowGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier; // rows, not columns
    return QTableView::moveCursor(action, modifiers);
}

} // namespace tb
