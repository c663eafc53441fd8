#include "day_view.h"

#include "line_order.h"
#include "schema.h"

namespace tb {

using schema::Lines;

DayTotals computeDayTotals(const DataView& lines) {
    DayTotals t;
    const std::pair<Money*, const QString&> sums[] = {
        {&t.receipts, Lines::receipt}, {&t.payments, Lines::payment},      {&t.rates, Lines::rate},
        {&t.vat, Lines::vat},          {&t.receiptNumbers, Lines::number}, {&t.vat1, Lines::vat1},
        {&t.vat2, Lines::vat2}};
    for (const auto& [sum, column] : sums) {
        const int c = lines.columnIndex(column);
        if (c < 0)
            continue;
        for (int row = 0; row < lines.recordCount(); ++row)
            if (const auto m = countedAmountUtf8(lines.utf8At(row, c)))
                *sum += *m;
    }
    return t;
}

Money balanceCarriedInto(Database& db, const QString& date, Money floatAmount) {
    return balanceBefore(db, date, 0, floatAmount);
}

Money balanceBefore(Database& db, const QString& date, qint64 id, Money floatAmount) {
    const QByteArray day = date.toUtf8();
    const LineOrderKey until{
        dateKeyOf(std::string_view(day.constData(), static_cast<size_t>(day.size()))), id};
    Money b = floatAmount;
    Statement st = db.prepare(QStringLiteral("Select a10, a4, a5, ID from Buchungen;"));
    while (st.next()) {
        if (!(LineOrderKey{dateKeyOf(st.utf8(0), st.isNull(0)), st.integer(3)} < until))
            continue;
        b += countedAmountUtf8(st.utf8(1)).value_or(Money());
        b -= countedAmountUtf8(st.utf8(2)).value_or(Money());
    }
    return b;
}

Money carriedInBalance(const DataView& lines) {
    if (lines.isEmpty())
        return {};
    const Money stored = countedAmount(lines.valueAt(0, Lines::balance)).value_or(Money());
    const Money in = countedAmount(lines.valueAt(0, Lines::receipt)).value_or(Money());
    const Money out = countedAmount(lines.valueAt(0, Lines::payment)).value_or(Money());
    return stored - in + out;
}

} // namespace tb
