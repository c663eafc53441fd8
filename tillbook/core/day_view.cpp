#include "day_view.h"

#include "line_order.h"

namespace tb {

DayTotals computeDayTotals(const DataView& lines) {
    DayTotals t;
    const std::pair<Money*, const char*> sums[] = {
        {&t.receipts, "a4"},       {&t.payments, "a5"}, {&t.rates, "a6"}, {&t.vat, "a7"},
        {&t.receiptNumbers, "a8"}, {&t.vat1, "a14"},    {&t.vat2, "a13"}};
    for (const auto& [sum, column] : sums) {
        const int c = lines.columnIndex(QLatin1String(column));
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
    const Money stored = countedAmount(lines.valueAt(0, QStringLiteral("a15"))).value_or(Money());
    const Money in = countedAmount(lines.valueAt(0, QStringLiteral("a4"))).value_or(Money());
    const Money out = countedAmount(lines.valueAt(0, QStringLiteral("a5"))).value_or(Money());
    return stored - in + out;
}

} // namespace tb
