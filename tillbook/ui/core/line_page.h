#pragma once

#include "data_view.h"

#include <QWidget>
#include <array>

class QTableView;

namespace tb {

class DataViewModel;
class ValueDisplay;

// The first tab: the line grid (DBGrid2) over the listed lines, with the column totals under it.
// The highlight and the view's current record never part: a row chosen by mouse or keys is
// reported, and the window moves the record there.
class LinePage : public QWidget {
    Q_OBJECT
  public:
    // Grid columns: Beleg, Datum, Buchungstext, Bemerkung, St 1, St 2, Einnahme, Ausgabe, and
    // the ninth column (the receipt number again).
    static const QStringList& columns();

    explicit LinePage(DataView& lines, QWidget* parent = nullptr);

    QTableView* grid() const { return grid_; }
    DataViewModel* model() const { return model_; }
    // Total under configurable column k (1..5): St 1, St 2, Einnahme, Ausgabe, ninth column.
    ValueDisplay* total(int k) const { return totals_[static_cast<size_t>(k - 1)]; }

    // The view's rows were re-read or changed: the grid shows them and highlights the current.
    void reload();
    // The highlight follows the view's current record.
    void showCurrent();
    void setHeading(int column, const QString& heading);
    // Configurable column k (1..5) is grid column k + 3.
    void setColumnVisible(int k, bool on);
    // Column widths from the grid's width; totals under their columns.
    void layoutColumns();
    // A column's left edge and width in the coordinates of another widget.
    QRect columnRect(int column, const QWidget* target) const;

  signals:
    void rowClicked(int row);
    // Double click or Enter: the cancellation panel is wanted.
    void rowActivated(int row);
    // The highlight moved by keys (or by a click) to another row.
    void currentRowChanged(int row);

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    DataView& lines_;
    QTableView* grid_;
    DataViewModel* model_;
    QWidget* totalsRow_;
    std::array<ValueDisplay*, 5> totals_{};
    bool syncing_ = false;
};

} // namespace tb
