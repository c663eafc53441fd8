#include "data_view.h"

#include "line_order.h"
#include "schema.h"

#include <algorithm>
#include <cstring>

namespace tb {

namespace {
constexpr size_t kBlockSize = size_t{1} << 20;

quint32 endAt(const char* row, int i) {
    quint32 e;
    std::memcpy(&e, row + sizeof(quint32) * static_cast<size_t>(i), sizeof e);
    return e;
}
} // namespace

const char* DataView::storeRow(const std::vector<std::string_view>& values) {
    const size_t n = values.size();
    size_t bytes = 0;
    for (const std::string_view v : values)
        bytes += v.size();
    // Rows start on a 4-byte boundary.
    const size_t need = (sizeof(quint32) * n + bytes + 3) & ~size_t{3};
    if (blocks_.empty() || blockUsed_ + need > blockSize_) {
        blockSize_ = std::max(kBlockSize, need);
        blocks_.push_back(std::make_unique<char[]>(blockSize_));
        blockUsed_ = 0;
    }
    char* row = blocks_.back().get() + blockUsed_;
    blockUsed_ += need;
    char* data = row + sizeof(quint32) * n;
    quint32 end = 0;
    for (size_t i = 0; i < n; ++i) {
        std::memcpy(data + end, values[i].data(), values[i].size());
        end += static_cast<quint32>(values[i].size());
        std::memcpy(row + sizeof(quint32) * i, &end, sizeof end);
    }
    return row;
}

std::string_view DataView::cell(size_t row, int column) const {
    if (row >= rows_.size() || column < 0 || column >= columns_.size())
        return {};
    const char* r = rows_[row];
    const quint32 begin = column == 0 ? 0 : endAt(r, column - 1);
    const char* data = r + sizeof(quint32) * static_cast<size_t>(columns_.size());
    return std::string_view(data + begin, endAt(r, column) - begin);
}

QString DataView::cellText(size_t row, int column) const {
    const std::string_view v = cell(row, column);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

void DataView::setCell(size_t row, int column, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    std::vector<std::string_view> values;
    for (int k = 0; k < columns_.size(); ++k)
        values.push_back(k == column
                             ? std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))
                             : cell(row, k));
    // The old bytes stay in their block until the next refresh.
    rows_[row] = storeRow(values);
}

void DataView::clearRows() {
    rows_.clear();
    rows_.shrink_to_fit();
    blocks_.clear();
    blockUsed_ = 0;
    blockSize_ = 0;
}

void DataView::sortByLineOrder() {
    const int date = columnIndex(schema::Lines::date);
    const int idColumn = columnIndex(schema::kId);
    if (date < 0 || idColumn < 0)
        return;
    std::vector<std::pair<LineOrderKey, const char*>> keyed;
    keyed.reserve(rows_.size());
    for (size_t r = 0; r < rows_.size(); ++r) {
        const std::string_view id = cell(r, idColumn);
        keyed.push_back(
            {{dateKeyOf(cell(r, date)),
              QByteArray::fromRawData(id.data(), static_cast<qsizetype>(id.size())).toLongLong()},
             rows_[r]});
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t r = 0; r < rows_.size(); ++r)
        rows_[r] = keyed[r].second;
}

static QVariantList asVariants(const QStringList& texts) {
    QVariantList v;
    for (const QString& t : texts)
        v << t;
    return v;
}

DataView::DataView(Database* db, QString table, QString sql, QStringList params)
    : db_(db), table_(std::move(table)), sql_(std::move(sql)), params_(asVariants(params)) {}

void DataView::setSource(const QString& sql, const QStringList& params, Order order) {
    sql_ = sql;
    params_ = asVariants(params);
    order_ = order;
}

void DataView::setSourceValues(const QString& sql, const QVariantList& params, Order order) {
    sql_ = sql;
    params_ = params;
    order_ = order;
}

bool DataView::refresh() {
    clearRows();
    adding_ = false;
    dirty_.clear();
    bool ok = false;
    if (db_) {
        Statement st = db_->prepare(sql_);
        if (st.isValid()) {
            st.bindValues(params_);
            columns_.clear();
            index_.clear();
            for (int i = 0; i < st.columnCount(); ++i) {
                columns_ << st.columnName(i);
                index_.insert(st.columnName(i), i);
            }
            const int n = static_cast<int>(columns_.size());
            std::vector<std::string_view> values(static_cast<size_t>(n));
            while (st.next()) {
                for (int i = 0; i < n; ++i)
                    values[static_cast<size_t>(i)] = st.utf8(i);
                rows_.push_back(storeRow(values));
            }
            ok = st.failure().ok();
            if (order_ == Order::ByLineOrder)
                sortByLineOrder();
        }
    }
    setPos(rows_.empty() ? -1 : 0);
    return ok;
}

void DataView::setPos(int p) {
    pos_ = p;
    dirty_.clear();
    emit signals_->currentChanged();
}

void DataView::moveFirst() {
    setPos(rows_.empty() ? -1 : 0);
}

void DataView::moveLast() {
    setPos(recordCount() - 1);
}

void DataView::moveNext() {
    if (pos_ < recordCount())
        setPos(pos_ + 1);
}

void DataView::movePrevious() {
    if (pos_ > 0)
        setPos(pos_ - 1);
}

bool DataView::moveTo(int position) {
    if (position < 0 || position >= recordCount())
        return false;
    setPos(position);
    return true;
}

bool DataView::findFirst(const std::function<bool(const DataView&, int)>& match) {
    for (int i = 0; i < recordCount(); ++i) {
        if (match(*this, i)) {
            setPos(i);
            return true;
        }
    }
    return false;
}

bool DataView::findFirstEquals(const QString& column, const QString& value) {
    const int c = columnIndex(column);
    if (c < 0)
        return false;
    const QByteArray utf8 = value.toUtf8();
    const std::string_view wanted(utf8.constData(), static_cast<size_t>(utf8.size()));
    return findFirst(
        [&](const DataView& v, int row) { return v.cell(static_cast<size_t>(row), c) == wanted; });
}

bool DataView::findId(qint64 id) {
    return findFirst([&](const DataView& v, int row) { return v.idAt(row) == id; });
}

QString DataView::value(const QString& column) const {
    if (adding_) {
        const int c = columnIndex(column);
        return c >= 0 && static_cast<size_t>(c) < newRow_.size() ? newRow_[static_cast<size_t>(c)]
                                                                 : QString();
    }
    if (dirty_.contains(column))
        return dirty_.value(column);
    return valueAt(pos_, column);
}

QString DataView::valueAt(int row, const QString& column) const {
    const int c = columnIndex(column);
    if (row < 0 || row >= recordCount() || c < 0)
        return {};
    return cellText(static_cast<size_t>(row), c);
}

std::string_view DataView::utf8At(int row, int column) const {
    if (row < 0 || row >= recordCount())
        return {};
    return cell(static_cast<size_t>(row), column);
}

qint64 DataView::id() const {
    return adding_ ? 0 : idAt(pos_);
}

qint64 DataView::idAt(int row) const {
    return valueAt(row, schema::kId).toLongLong();
}

void DataView::setValue(const QString& column, const QString& value) {
    const int c = columnIndex(column);
    if (c < 0)
        return;
    if (adding_)
        newRow_[static_cast<size_t>(c)] = value;
    else if (!atEnd())
        dirty_.insert(column, value);
}

void DataView::addNew() {
    if (columns_.isEmpty() && db_) {
        // An empty result still names its columns; read them from the table itself.
        Statement st = db_->prepare(QStringLiteral("SELECT * FROM \"%1\" LIMIT 0;").arg(table_));
        for (int i = 0; i < st.columnCount(); ++i) {
            columns_ << st.columnName(i);
            index_.insert(st.columnName(i), i);
        }
    }
    adding_ = true;
    newRow_.assign(static_cast<size_t>(columns_.size()), QString());
}

static Result noCurrentRecord() {
    return finding(QStringLiteral("kein aktueller Datensatz"));
}

Result DataView::update() {
    if (!db_)
        return finding({});
    if (adding_) {
        QStringList names, marks, values;
        for (int i = 0; i < columns_.size(); ++i) {
            if (columns_[i] == schema::kId)
                continue;
            names << QLatin1Char('"') + columns_[i] + QLatin1Char('"');
            marks << QStringLiteral("?");
            values << newRow_[static_cast<size_t>(i)];
        }
        Statement st = db_->prepare(
            QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3);")
                .arg(table_, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        st.bindAll(values);
        if (!st.run())
            return st.failure();
        const int idCol = columnIndex(schema::kId);
        if (idCol >= 0)
            newRow_[static_cast<size_t>(idCol)] = QString::number(db_->lastInsertId());
        std::vector<QByteArray> utf8;
        for (const QString& v : newRow_)
            utf8.push_back(v.toUtf8());
        std::vector<std::string_view> stored;
        for (const QByteArray& v : utf8)
            stored.push_back(std::string_view(v.constData(), static_cast<size_t>(v.size())));
        adding_ = false;
        rows_.push_back(storeRow(stored));
        setPos(recordCount() - 1);
        return {};
    }
    if (atEnd())
        return noCurrentRecord();
    if (dirty_.isEmpty())
        return {};
    QStringList sets, values;
    for (auto it = dirty_.cbegin(); it != dirty_.cend(); ++it) {
        sets << QLatin1Char('"') + it.key() + QStringLiteral("\"=?");
        values << it.value();
    }
    values << QString::number(id());
    Statement st = db_->prepare(QStringLiteral("UPDATE \"%1\" SET %2 WHERE ID=?;")
                                    .arg(table_, sets.join(QLatin1Char(','))));
    st.bindAll(values);
    if (!st.run())
        return st.failure();
    for (auto it = dirty_.cbegin(); it != dirty_.cend(); ++it)
        setCell(static_cast<size_t>(pos_), columnIndex(it.key()), it.value());
    dirty_.clear();
    return {};
}

Result DataView::remove() {
    if (!db_ || adding_ || atEnd())
        return noCurrentRecord();
    Statement st = db_->prepare(QStringLiteral("DELETE FROM \"%1\" WHERE ID=?;").arg(table_));
    st.bind(1, id());
    if (!st.run())
        return st.failure();
    rows_.erase(rows_.begin() + pos_);
    setPos(pos_ < recordCount() ? pos_ : recordCount() - 1);
    return {};
}

} // namespace tb
