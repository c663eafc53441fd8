#pragma once

#include "database.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace tb {

// What a data view tells its listeners, as signals.
class DataViewSignals : public QObject {
    Q_OBJECT
  signals:
    // The current record changed (moves, finds, refresh).
    void currentChanged();
};

// A live, updatable view over one SQL text on one table: a current record, moves, find-first,
// add, update, delete, refresh and record count. The rows are read at refresh; changes are
// written through to the table at once by update() and remove().
class DataView {
  public:
    // How the rows are ordered after they are read.
    enum class Order {
        AsQueried,
        // Date, then ID, as the running balance walks the lines (the view needs a10 and ID).
        // Sorting here spares the engine a sort on text functions of every line.
        ByLineOrder,
    };

    DataView(Database* db, QString table, QString sql = {}, QStringList params = {});

    Database* database() const { return db_; }
    void setSource(const QString& sql, const QStringList& params = {},
                   Order order = Order::AsQueried);
    // Parameters of other types: whole numbers are bound as numbers (the range tests compare
    // the date key of a line with the keys of the bounds as numbers).
    void setSourceValues(const QString& sql, const QVariantList& params,
                         Order order = Order::AsQueried);
    const QString& source() const { return sql_; }
    const QString& table() const { return table_; }

    // Re-reads the rows; the first record becomes current. False when the query failed (the
    // view is then empty).
    bool refresh();

    int recordCount() const { return static_cast<int>(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    int position() const { return pos_; }
    bool atEnd() const { return pos_ < 0 || pos_ >= recordCount(); }

    void moveFirst();
    void moveLast();
    void moveNext();     // past the end: atEnd()
    void movePrevious(); // stays on the first record
    bool moveTo(int position);

    // From the first record, the first one that matches becomes current; false and no move
    // when none matches.
    bool findFirst(const std::function<bool(const DataView&, int row)>& match);
    bool findFirstEquals(const QString& column, const QString& value);
    bool findId(qint64 id);

    const QStringList& columns() const { return columns_; }
    int columnIndex(const QString& column) const { return index_.value(column, -1); }
    // The current record's value; "" without a current record.
    QString value(const QString& column) const;
    QString valueAt(int row, const QString& column) const;
    // The stored bytes of a value, without a copy (column by its index); valid until the rows
    // change.
    std::string_view utf8At(int row, int column) const;
    qint64 id() const;
    qint64 idAt(int row) const;

    // Edits the current (or new) record in memory; update() writes it.
    void setValue(const QString& column, const QString& value);

    // Starts a new record that is not yet stored; update() inserts it and makes it current.
    void addNew();
    bool isAdding() const { return adding_; }
    void cancelAdd() { adding_ = false; }

    // Writes the new or changed current record. On a failure the view keeps its rows as before.
    Result update();
    Result remove();

    // Tells every change of the current record (moves, finds, refresh).
    DataViewSignals* changes() const { return signals_.get(); }

  private:
    // The rows live in large blocks: one row is its values' ends (relative to its first byte)
    // followed by the UTF-8 bytes of its values. A listing of a million lines is then a few
    // allocations instead of two per row, and the rows can be sorted by moving pointers.
    const char* storeRow(const std::vector<std::string_view>& values);
    std::string_view cell(size_t row, int column) const;
    QString cellText(size_t row, int column) const;
    void setCell(size_t row, int column, const QString& value);
    void clearRows();
    void sortByLineOrder();

    void setPos(int p);
    Database* db_;
    QString table_;
    QString sql_;
    QVariantList params_;
    QStringList columns_;
    QHash<QString, int> index_;
    Order order_ = Order::AsQueried;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::unique_ptr<DataViewSignals> signals_ = std::make_unique<DataViewSignals>();
    size_t blockUsed_ = 0;
    size_t blockSize_ = 0;
    std::vector<const char*> rows_;
    int pos_ = -1;
    bool adding_ = false;
    std::vector<QString> newRow_;
    QHash<QString, QString> dirty_;
};

} // namespace tb
