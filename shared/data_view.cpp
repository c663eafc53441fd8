#include "data_view.h"

namespace tb {

void DataView::Row::reserve(size_t bytes, int values) {
    bytes_.reserve(static_cast<qsizetype>(bytes));
    ends_.reserve(static_cast<size_t>(values));
}

void DataView::Row::append(std::string_view value) {
    bytes_.append(value.data(), static_cast<qsizetype>(value.size()));
    ends_.push_back(static_cast<quint32>(bytes_.size()));
}

std::string_view DataView::Row::at(int i) const {
    if (i < 0 || i >= size())
        return {};
    const quint32 begin = i == 0 ? 0 : ends_[static_cast<size_t>(i - 1)];
    return std::string_view(bytes_.constData() + begin, ends_[static_cast<size_t>(i)] - begin);
}

QString DataView::Row::text(int i) const {
    const std::string_view v = at(i);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

void DataView::Row::set(int i, const QString& value) {
    Row rebuilt;
    const QByteArray utf8 = value.toUtf8();
    for (int k = 0; k < size(); ++k)
        rebuilt.append(k == i ? std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))
                              : at(k));
    *this = std::move(rebuilt);
}

static QVariantList asVariants(const QStringList& texts) {
    QVariantList v;
    for (const QString& t : texts)
        v << t;
    return v;
}

DataView::DataView(Database* db, QString table, QString sql, QStringList params)
    : db_(db), table_(std::move(table)), sql_(std::move(sql)), params_(asVariants(params)) {}

void DataView::setSource(const QString& sql, const QStringList& params) {
    sql_ = sql;
    params_ = asVariants(params);
}

void DataView::setSourceValues(const QString& sql, const QVariantList& params) {
    sql_ = sql;
    params_ = params;
}

bool DataView::refresh() {
    rows_.clear();
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
                size_t bytes = 0;
                for (int i = 0; i < n; ++i) {
                    values[static_cast<size_t>(i)] = st.utf8(i);
                    bytes += values[static_cast<size_t>(i)].size();
                }
                Row row;
                row.reserve(bytes, n);
                for (const std::string_view v : values)
                    row.append(v);
                rows_.push_back(std::move(row));
            }
            ok = st.error().isEmpty();
        }
    }
    setPos(rows_.empty() ? -1 : 0);
    return ok;
}

void DataView::setPos(int p) {
    pos_ = p;
    dirty_.clear();
    if (onCurrentChanged)
        onCurrentChanged();
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
    return findFirst([&](const DataView& v, int row) { return v.rows_[row].at(c) == wanted; });
}

bool DataView::findId(qint64 id) {
    return findFirst([&](const DataView& v, int row) { return v.idAt(row) == id; });
}

QString DataView::value(const QString& column) const {
    if (adding_) {
        const int c = columnIndex(column);
        return c >= 0 && c < newRow_.size() ? newRow_.text(c) : QString();
    }
    if (dirty_.contains(column))
        return dirty_.value(column);
    return valueAt(pos_, column);
}

QString DataView::valueAt(int row, const QString& column) const {
    const int c = columnIndex(column);
    if (row < 0 || row >= recordCount() || c < 0)
        return {};
    return rows_[row].text(c);
}

std::string_view DataView::utf8At(int row, int column) const {
    if (row < 0 || row >= recordCount())
        return {};
    return rows_[static_cast<size_t>(row)].at(column);
}

qint64 DataView::id() const {
    return adding_ ? 0 : idAt(pos_);
}

qint64 DataView::idAt(int row) const {
    return valueAt(row, QStringLiteral("ID")).toLongLong();
}

void DataView::setValue(const QString& column, const QString& value) {
    const int c = columnIndex(column);
    if (c < 0)
        return;
    if (adding_)
        newRow_.set(c, value);
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
    newRow_ = Row();
    for (int i = 0; i < columns_.size(); ++i)
        newRow_.append({});
}

bool DataView::update(QString* error) {
    if (!db_)
        return false;
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (adding_) {
        QStringList names, marks, values;
        for (int i = 0; i < columns_.size(); ++i) {
            if (columns_[i] == QLatin1String("ID"))
                continue;
            names << QLatin1Char('"') + columns_[i] + QLatin1Char('"');
            marks << QStringLiteral("?");
            values << newRow_.text(i);
        }
        Statement st = db_->prepare(
            QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3);")
                .arg(table_, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        st.bindAll(values);
        if (!st.run())
            return fail(st.error());
        Row row = newRow_;
        const int idCol = columnIndex(QStringLiteral("ID"));
        if (idCol >= 0)
            row.set(idCol, QString::number(db_->lastInsertId()));
        adding_ = false;
        rows_.push_back(std::move(row));
        setPos(recordCount() - 1);
        return true;
    }
    if (atEnd())
        return fail(QStringLiteral("kein aktueller Datensatz"));
    if (dirty_.isEmpty())
        return true;
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
        return fail(st.error());
    for (auto it = dirty_.cbegin(); it != dirty_.cend(); ++it)
        rows_[static_cast<size_t>(pos_)].set(columnIndex(it.key()), it.value());
    dirty_.clear();
    return true;
}

bool DataView::remove(QString* error) {
    if (!db_ || adding_ || atEnd()) {
        if (error)
            *error = QStringLiteral("kein aktueller Datensatz");
        return false;
    }
    Statement st = db_->prepare(QStringLiteral("DELETE FROM \"%1\" WHERE ID=?;").arg(table_));
    st.bind(1, id());
    if (!st.run()) {
        if (error)
            *error = st.error();
        return false;
    }
    rows_.erase(rows_.begin() + pos_);
    setPos(pos_ < recordCount() ? pos_ : recordCount() - 1);
    return true;
}

} // namespace tb
