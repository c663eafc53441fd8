#include "booking_line.h"

namespace tb {

namespace {
using schema::Lines;

// Each member and the column it holds.
struct Column {
    QString BookingLine::*member;
    const QString& name;
};
const Column kColumns[] = {
    {&BookingLine::status, Lines::status},   {&BookingLine::text, Lines::text},
    {&BookingLine::remark, Lines::remark},   {&BookingLine::done, Lines::done},
    {&BookingLine::receipt, Lines::receipt}, {&BookingLine::payment, Lines::payment},
    {&BookingLine::rate, Lines::rate},       {&BookingLine::vat, Lines::vat},
    {&BookingLine::number, Lines::number},   {&BookingLine::date, Lines::date},
    {&BookingLine::dateKey, Lines::dateKey}, {&BookingLine::open, Lines::open},
    {&BookingLine::vat2, Lines::vat2},       {&BookingLine::vat1, Lines::vat1},
    {&BookingLine::balance, Lines::balance},
};

QString quoted(const QString& column) {
    return QLatin1Char('"') + column + QLatin1Char('"');
}
} // namespace

BookingLine BookingLine::read(const DataView& view) {
    BookingLine l;
    if (view.atEnd())
        return l;
    return readRow(view, view.position());
}

BookingLine BookingLine::readRow(const DataView& view, int row) {
    BookingLine l;
    l.id = view.idAt(row);
    for (const Column& c : kColumns)
        l.*c.member = view.valueAt(row, c.name);
    return l;
}

bool BookingLine::load(Database& db, qint64 id, BookingLine& line) {
    QStringList names;
    for (const Column& c : kColumns)
        names << quoted(c.name);
    Statement st = db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?;")
                                  .arg(names.join(QLatin1Char(',')), Lines::table, schema::kId));
    st.bind(1, id);
    if (!st.next())
        return false;
    line = BookingLine();
    line.id = id;
    int i = 0;
    for (const Column& c : kColumns)
        line.*c.member = st.text(i++);
    return true;
}

LineWrite& LineWrite::set(const QString& column, const QString& value) {
    const qsizetype at = columns_.indexOf(column);
    if (at >= 0) {
        values_[at] = value;
        return *this;
    }
    columns_ << column;
    values_ << value;
    return *this;
}

bool LineWrite::insert(Database& db, qint64* id) const {
    QStringList names;
    QStringList marks;
    for (const QString& c : columns_) {
        names << quoted(c);
        marks << QStringLiteral("?");
    }
    Statement st = db.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);")
            .arg(Lines::table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    st.bindAll(values_);
    if (!st.run() || db.changes() != 1)
        return false;
    if (id)
        *id = db.lastInsertId();
    return true;
}

bool LineWrite::update(Database& db, qint64 id) const {
    QStringList sets;
    for (const QString& c : columns_)
        sets << quoted(c) + QStringLiteral("=?");
    Statement st = db.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?;")
                                  .arg(Lines::table, sets.join(QLatin1Char(',')), schema::kId));
    st.bindAll(values_);
    st.bind(static_cast<int>(values_.size()) + 1, id);
    return st.run() && db.changes() == 1;
}

} // namespace tb
