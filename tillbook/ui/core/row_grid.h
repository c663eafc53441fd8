#pragma once

#include <QTableView>

namespace tb {

// A grid of whole rows (the day list, the line grid): one row is chosen at a time, Home and
// End go to the first and the last row, Tab leaves the grid.
class RowGrid : public QTableView {
    Q_OBJECT
  public:
    explicit RowGrid(QWidget* parent = nullptr);

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};

} // namespace tb
