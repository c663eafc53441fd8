#include "data_view_model.h"

namespace tb {

DataViewModel::DataViewModel(DataView& view, QStringList columns, QStringList headings,
                             QObject* parent)
    : QAbstractTableModel(parent), view_(view), columns_(std::move(columns)),
      headings_(std::move(headings)) {}

int DataViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : view_.recordCount();
}

int DataViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DataViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return view_.valueAt(index.row(), columns_[index.column()]);
    if (role == Qt::TextAlignmentRole && right_.contains(index.column()))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && colour_) {
        const QColor c = colour_(index.row());
        if (c.isValid())
            return c;
    }
    return {};
}

QVariant DataViewModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < headings_.size())
        return headings_[section];
    // The row header is a record selector, not a row number.
    if (o == Qt::Vertical && role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, o, role);
}

void DataViewModel::setHeading(int column, const QString& heading) {
    if (column < 0 || column >= headings_.size())
        return;
    headings_[column] = heading;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void DataViewModel::repaintColours() {
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ForegroundRole});
}

void DataViewModel::reload() {
    beginResetModel();
    endResetModel();
}

} // namespace tb
