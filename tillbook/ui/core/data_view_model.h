#pragma once

#include "data_view.h"

#include <QAbstractTableModel>
#include <QColor>
#include <functional>

namespace tb {

// A grid's model over a data view: chosen columns with their headings.
class DataViewModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    DataViewModel(DataView& view, QStringList columns, QStringList headings,
                  QObject* parent = nullptr);

    int rowCount(const QModelIndex& = {}) const override;
    int columnCount(const QModelIndex& = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    void setHeading(int column, const QString& heading);
    // Columns whose values are amounts are right-aligned.
    void setRightAligned(QList<int> columns) { right_ = std::move(columns); }
    // Call after the view was refreshed or changed.
    void reload();
    // The colour of a row's text (an invalid colour: the grid's own); repaintColours asks
    // again for every row.
    void setRowColour(std::function<QColor(int row)> colour) { colour_ = std::move(colour); }
    void repaintColours();

  private:
    DataView& view_;
    QStringList columns_;
    QStringList headings_;
    QList<int> right_;
    std::function<QColor(int row)> colour_;
};

} // namespace tb
